/* Timer1 runs free; time-outs and pacing compare its count, so no interrupt is needed
 * (under QEMU, SLEEP never wakes and an interrupt-driven receive hung). */
#include <avr/io.h>

#include "avr_port.h"

void avr_clock_start(void) {
  TCCR1A = 0;
  TCCR1B = _BV(CS11); /* F_CPU / 8 */
}

uint16_t avr_clock_now(void) { return TCNT1; }
