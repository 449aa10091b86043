/* The bootloader on the ATmega2560: every pass of the loop is a reset. */
#include "avr_port.h"
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"

#define WINDOW_MS 500

static uint8_t page_buffer[SPM_PAGESIZE];

__attribute__((OS_main, section(".init9"))) int main(void) {
  avr_port_start();
  for (;;)
    if (fwboot_run(page_buffer, WINDOW_MS, FWBOOT_PROTOCOLS_1_AND_2) == FWBOOT_START) fwboot_start_application();
}
