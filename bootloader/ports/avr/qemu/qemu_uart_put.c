/* The UART seam's send under QEMU, whose USART sends a character at once: each one waits
 * for its line time at 9600 baud on Timer1, as it would on a real line. QEMU keeps no
 * rate, so after a change of rate the pace stays 9600's: slower, and as correct. */
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/avr/avr_port.h"

#define CHARACTER_TICKS ((uint16_t)(AVR_TICKS_PER_MS * 10000ul / 9600ul))

static uint16_t last_sent;

void avr_uart_drain(void) {
  while ((uint16_t)(avr_clock_now() - last_sent) < CHARACTER_TICKS) {
  }
}

void fwboot_uart_put(uint8_t byte) {
  avr_uart_drain();
  last_sent = avr_clock_now();
  avr_uart_send(byte);
}
