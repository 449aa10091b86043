/* The report on USART1, 9600 baud 8N1, for the emulated board's test; the real board has
 * none. */
#include <avr/io.h>

#include "qemu_port.h"

static void put(char c) {
  while (!(UCSR1A & _BV(UDRE1))) {
  }
  UDR1 = (uint8_t)c;
}

void qemu_report_start(void) {
  UBRR1 = (F_CPU / 16ul / 9600ul) - 1;
  UCSR1B = _BV(TXEN1);
  UCSR1C = _BV(UCSZ11) | _BV(UCSZ10);
}

void qemu_report_line(const char *text) {
  while (*text) put(*text++);
  put('\n');
}
