/* TIMER0 runs free at 1 MHz, 32 bits; time-outs compare the counts that a capture task
 * takes, so no interrupt is needed. RTC0 would cost less power, but QEMU does not emulate
 * it (its counter stays 0). */
#include "nrf51_port.h"

#define TIMER0 0x40008000u
#define TIMER_START (TIMER0 + 0x000u)
#define TIMER_STOP (TIMER0 + 0x004u)
#define TIMER_CLEAR (TIMER0 + 0x00Cu)
#define TIMER_CAPTURE0 (TIMER0 + 0x040u)
#define TIMER_MODE (TIMER0 + 0x504u)
#define TIMER_BITMODE (TIMER0 + 0x508u)
#define TIMER_PRESCALER (TIMER0 + 0x510u)
#define TIMER_CC0 (TIMER0 + 0x540u)

#define CLOCK 0x40000000u
#define CLOCK_HFCLKSTART (CLOCK + 0x000u)
#define CLOCK_HFCLKSTOP (CLOCK + 0x004u)
#define CLOCK_HFCLKSTARTED (CLOCK + 0x100u)

void nrf51_clock_start(void) {
  /* The crystal, not the internal RC oscillator: the UART's rates need its accuracy. */
  NRF51_REG(CLOCK_HFCLKSTARTED) = 0;
  NRF51_REG(CLOCK_HFCLKSTART) = 1;
  while (NRF51_REG(CLOCK_HFCLKSTARTED) == 0) {
  }
  NRF51_REG(TIMER_MODE) = 0;      /* timer */
  NRF51_REG(TIMER_BITMODE) = 3;   /* 32 bits */
  NRF51_REG(TIMER_PRESCALER) = 4; /* 16 MHz / 2^4 */
  NRF51_REG(TIMER_CLEAR) = 1;
  NRF51_REG(TIMER_START) = 1;
}

uint32_t nrf51_clock_now(void) {
  NRF51_REG(TIMER_CAPTURE0) = 1;
  return NRF51_REG(TIMER_CC0);
}

void nrf51_wait_us(uint32_t us) {
  uint32_t start = nrf51_clock_now();
  while (nrf51_clock_now() - start < us) {
  }
}

void nrf51_clock_stop(void) {
  NRF51_REG(TIMER_STOP) = 1;
  NRF51_REG(TIMER_CLEAR) = 1;
  NRF51_REG(CLOCK_HFCLKSTOP) = 1;
}
