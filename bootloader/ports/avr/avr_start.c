/* The application's start. The real build leaves the peripherals as after a reset and
 * jumps to address 0. Under QEMU the application is in RAM, where the AVR cannot run
 * code: the start is reported, and the main loop resets. */
#include <avr/io.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

void fwboot_start_application(void) {
#ifdef FWBOOT_AVR_QEMU
  avr_report_line("{\"started\":true}");
#else
  UCSR0B = 0;
  TCCR1B = 0;
  ((void (*)(void))0)();
#endif
}
