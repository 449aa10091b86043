/* The application's start: the peripherals left as after a reset, a jump to address 0. */
#include <avr/io.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

void fwboot_start_application(void) {
  UCSR0B = 0;
  TCCR1B = 0;
  ((void (*)(void))0)();
}
