/* The rate seams of a port that keeps 9600 baud and holds no frame while the flash is
 * busy: it announces no rates and one frame in flight. */
#include "fwboot_port.h"

uint8_t fwboot_uart_rates(void) { return 0; }
void fwboot_uart_set_rate(uint8_t rate) { (void)rate; }
uint8_t fwboot_uart_frames(void) { return 1; }
