/* The application's start: the peripherals as after a reset, then its stack pointer and
 * reset vector from the first two words of its vector table. The M0 of the nRF51 has no
 * VTOR: the application's interrupts still arrive at the bootloader's table, which hands
 * each one on (nrf51_vectors.c). */
#include "bootloader/core/fwboot_port.h"
#include "nrf51_port.h"

void fwboot_start_application(void) {
  const uint32_t *vectors = (const uint32_t *)NRF51_APP_START;
  nrf51_uart_stop();
  nrf51_clock_stop();
  __asm__ volatile("msr msp, %0\n\tbx %1" : : "r"(vectors[0]), "r"(vectors[1]));
}
