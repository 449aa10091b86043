/* The nRF51 port on QEMU's microbit (qemu-system-arm -M microbit), whose NVMC really
 * programs the flash. Its own files: the main (the state reported at each reset, a 2 s
 * sync window, the application's start reported before it is made), the report by
 * semihosting, and power cuts for tests. The rest is the real port's (../nrf51_port.h). */
#ifndef QEMU_PORT_H
#define QEMU_PORT_H

#include <stdint.h>

void qemu_report_line(const char *text); /* the text and a newline, by semihosting */

#endif
