/* The UART seam's send on the real board, whose USART keeps the line's pace itself.
 * Transmit-complete is cleared after each byte goes into the USART, so that it next shows
 * when that byte has left the line (cleared before, a byte still shifting out could set it). */
#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

void fwboot_uart_put(uint8_t byte) {
  avr_uart_send(byte);
  UCSR0A = (UCSR0A & _BV(U2X0)) | _BV(TXC0);
}

void avr_uart_drain(void) {
  while (!(UCSR0A & _BV(TXC0))) {
  }
}
