/* The UART seam on USART0, 9600 baud 8N1, polled. Under QEMU a character leaves at
 * once, so each one waits for its line time on Timer1, as it would on a real line. */
#include <avr/io.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

#define BAUD_DIVISOR ((F_CPU / 16ul / 9600ul) - 1)
#define CHARACTER_TICKS ((uint16_t)(AVR_TICKS_PER_MS * 10000ul / 9600ul))

void avr_uart_start(void) {
  UBRR0 = BAUD_DIVISOR;
  UCSR0B = _BV(RXEN0) | _BV(TXEN0);
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
}

void fwboot_uart_put(uint8_t byte) {
#ifdef FWBOOT_AVR_QEMU
  static uint16_t last_sent;
  while ((uint16_t)(avr_clock_now() - last_sent) < CHARACTER_TICKS) {
  }
  last_sent = avr_clock_now();
#endif
  while (!(UCSR0A & _BV(UDRE0))) {
  }
  UDR0 = byte;
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
