/* The bootloader on the nRF51822: one pass a reset; the device resets itself after every
 * conversation, whatever its end. */
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
#include "nrf51_port.h"

#define WINDOW_MS 500u

static uint8_t page_buffer[NRF51_PAGE_SIZE];

int main(void) {
  nrf51_port_start();
  if (fwboot_run(page_buffer, WINDOW_MS, FWBOOT_PROTOCOLS_1_AND_2) == FWBOOT_START) fwboot_start_application();
  nrf51_system_reset();
}
