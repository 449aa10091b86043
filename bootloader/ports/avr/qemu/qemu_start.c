/* The application's start under QEMU: the application is in RAM, where the AVR cannot
 * run code, so the start is reported, and the main loop resets. */
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "qemu_port.h"

void fwboot_start_application(void) { qemu_report_line(FWBOOT_STARTED_TEXT); }
