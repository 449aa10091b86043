/* The ATmega2560 port: USART0 is the line to the host, Timer1 the clock of its time-outs.
 * The files here are the real board's. QEMU's emulated board (qemu/) shares the clock,
 * the UART's set-up and receive and this header, and has its own main, send, flash and
 * start. */
#ifndef AVR_PORT_H
#define AVR_PORT_H

#include <avr/io.h>
#include <avr/wdt.h>
#include <stdint.h>

/* Timer1 at F_CPU/8: 2 ticks a microsecond at 16 MHz. */
#define AVR_TICKS_PER_MS (F_CPU / 8000ul)

void avr_clock_start(void);
uint16_t avr_clock_now(void);
void avr_uart_start(void);
/* Returns once the last byte sent has left the line (each build's send file). */
void avr_uart_drain(void);

/* What every start of the bootloader sets up first. */
static inline void avr_port_start(void) {
  /* An application that used the watchdog leaves it running through the reset: it would
   * reset the bootloader while it waits for the sync. */
  MCUSR = 0;
  wdt_disable();
  avr_clock_start();
  avr_uart_start();
}

/* One byte on USART0, once it takes one. */
static inline void avr_uart_send(uint8_t byte) {
  while (!(UCSR0A & _BV(UDRE0))) {
  }
  UDR0 = byte;
}

#endif
