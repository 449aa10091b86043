// The application's start: the simulation has none to run, so it says so; its main loop
// plays the application's part.
#include <cstdio>

#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"

void fwboot_start_application(void) {
  std::printf(FWBOOT_STARTED_TEXT "\n");
  std::fflush(stdout);
}
