/* The UART seam on USART0, 9600 baud 8N1, polled: its set-up and receive, shared by the
 * real board and QEMU's (each sends in a file of its own). */
#include <avr/io.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

#define BAUD_DIVISOR ((F_CPU / 16ul / 9600ul) - 1)

void avr_uart_start(void) {
  UBRR0 = BAUD_DIVISOR;
  UCSR0B = _BV(RXEN0) | _BV(TXEN0);
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
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
