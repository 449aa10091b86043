/* The UART seam on USART0, 8N1, polled: its set-up, receive and rates, shared by the real
 * board and QEMU's (each sends in a file of its own). Every reset starts at 9600 baud; the
 * second protocol may switch to 250000, 500000, 1000000 or 2000000, which 16 MHz gives
 * exactly with U2X (115200 would be 2.1 % off, 921600 worse: not offered). */
#include <avr/io.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_frames.h"
#include "bootloader/core/fwboot_port.h"

#define BAUD_DIVISOR ((F_CPU / 16ul / 9600ul) - 1)
#define U2X_DIVISOR(baud) ((uint8_t)(F_CPU / 8ul / (baud) - 1))

/* Indexed by the core's rate number; 0 for a rate not offered. */
static const uint8_t u2x_divisors[FWBOOT_RATE_COUNT] = {
    0, 0, U2X_DIVISOR(250000ul), 0, U2X_DIVISOR(500000ul), 0, U2X_DIVISOR(1000000ul), U2X_DIVISOR(2000000ul)};

void avr_uart_start(void) {
  UBRR0 = BAUD_DIVISOR;
  UCSR0B = _BV(RXEN0) | _BV(TXEN0);
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
}

uint8_t fwboot_uart_rates(void) { return 1u << 2 | 1u << 4 | 1u << 6 | 1u << 7; }

/* Receiving is polled: nothing comes in while SPM halts the CPU, so the host sends the
 * next frame only after the last one's ACK. */
uint8_t fwboot_uart_frames(void) { return 1; }

void fwboot_uart_set_rate(uint8_t rate) {
  avr_uart_drain();
  if (rate == FWBOOT_RATE_START) {
    UCSR0A = 0;
    UBRR0 = BAUD_DIVISOR;
  } else {
    UCSR0A = _BV(U2X0);
    UBRR0 = u2x_divisors[rate];
  }
}

int fwboot_uart_get(uint8_t *byte, uint16_t timeout_ms) {
  uint16_t start = avr_clock_now();
  for (;;) {
    if (UCSR0A & _BV(RXC0)) {
      *byte = UDR0;
      return 1;
    }
    if ((uint16_t)(avr_clock_now() - start) >= AVR_TICKS_PER_MS) {
      if (timeout_ms <= 1) return 0;
      --timeout_ms;
      start += AVR_TICKS_PER_MS;
    }
  }
}
