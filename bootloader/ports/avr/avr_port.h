/* The ATmega2560 port: USART0 is the line to the host, Timer1 the clock of its time-outs
 * (and, under QEMU, of its 9600-baud pacing), USART1 the report of the state at each
 * reset (the QEMU build). Build options (tools/build-bootloader-avr.sh):
 *   FWBOOT_AVR_QEMU    flash seam on a RAM area, 9600-baud pacing, state report, start
 *                      of the application reported instead of made
 *   FWBOOT_WINDOW_MS   the sync window after a reset with a valid application */
#ifndef AVR_PORT_H
#define AVR_PORT_H

#include <stdint.h>

/* Timer1 at F_CPU/8: 2 ticks a microsecond at 16 MHz. */
#define AVR_TICKS_PER_MS (F_CPU / 8000ul)

void avr_clock_start(void);
uint16_t avr_clock_now(void);
void avr_uart_start(void);
void avr_flash_start(void);
void avr_report_start(void);
void avr_report_line(const char *text); /* a line on USART1; nothing without a report */

#endif
