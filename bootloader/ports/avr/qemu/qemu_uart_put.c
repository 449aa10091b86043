/* The UART seam's send under QEMU, whose USART sends a character at once: each one waits
 * for its line time at 9600 baud on Timer1, as it would on a real line. */
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/avr/avr_port.h"

#define CHARACTER_TICKS ((uint16_t)(AVR_TICKS_PER_MS * 10000ul / 9600ul))

void fwboot_uart_put(uint8_t byte) {
  static uint16_t last_sent;
  while ((uint16_t)(avr_clock_now() - last_sent) < CHARACTER_TICKS) {
  }
  last_sent = avr_clock_now();
  avr_uart_send(byte);
}
