/* The UART seam's send on the real board, whose USART keeps the line's pace itself. */
#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

void fwboot_uart_put(uint8_t byte) { avr_uart_send(byte); }
