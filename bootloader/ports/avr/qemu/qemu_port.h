/* The ATmega2560 port on QEMU's emulated board (qemu-system-avr -machine mega2560), which
 * emulates no flash self-programming, sends a character at once and cannot run code from
 * RAM. Its own files: the main (the state reported at each reset, a long sync window),
 * the send paced at 9600 baud, the flash on a RAM area, the start reported instead of
 * made, and the report on USART1. The rest is the real port's (../avr_port.h). */
#ifndef QEMU_PORT_H
#define QEMU_PORT_H

#define QEMU_FLASH_PAGE_SIZE 256u

void qemu_flash_start(void); /* erases the RAM flash, at power-on */
void qemu_report_start(void);
void qemu_report_line(const char *text); /* the text and a newline on USART1 */

#endif
