/* The state report on USART1, for the emulated board's test; the real build has none. */
#include <avr/io.h>

#include "avr_port.h"

#ifdef FWBOOT_AVR_QEMU
static void put(char c) {
  while (!(UCSR1A & _BV(UDRE1))) {
  }
  UDR1 = (uint8_t)c;
}

void avr_report_start(void) {
  UBRR1 = (F_CPU / 16ul / 9600ul) - 1;
  UCSR1B = _BV(TXEN1);
  UCSR1C = _BV(UCSZ11) | _BV(UCSZ10);
}

void avr_report_line(const char *text) {
  while (*text) put(*text++);
  put('\n');
}
#else
void avr_report_start(void) {}
void avr_report_line(const char *text) { (void)text; }
#endif
