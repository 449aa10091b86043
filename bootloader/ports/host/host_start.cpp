// The application's start: the simulation has none to run, so it says so; its main loop
// plays the application's part.
#include <cstdio>

#include "bootloader/ports/host/host_port.h"

extern "C" {
#include "bootloader/core/fwboot_port.h"
}

extern "C" void fwboot_start_application(void) {
  std::printf("{\"started\":true}\n");
  std::fflush(stdout);
}
