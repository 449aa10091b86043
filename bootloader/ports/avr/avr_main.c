/* The bootloader on the ATmega2560: every pass of the loop is a reset. */
#include <avr/io.h>
#include <avr/wdt.h>

#include "avr_port.h"
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/core/fwboot_state_text.h"

#ifndef FWBOOT_WINDOW_MS
#define FWBOOT_WINDOW_MS 500
#endif

static uint8_t page_buffer[256]; /* SPM_PAGESIZE, and the RAM flash's page */

int main(void) {
  /* An application that used the watchdog leaves it running through the reset: it would
   * reset the bootloader while it waits for the sync. */
  MCUSR = 0;
  wdt_disable();
  avr_clock_start();
  avr_uart_start();
  avr_report_start();
  avr_flash_start();
  for (;;) {
#ifdef FWBOOT_AVR_QEMU
    fwboot_state state;
    char text[FWBOOT_STATE_TEXT_SIZE];
    fwboot_check(&state);
    fwboot_state_text(&state, text);
    avr_report_line(text);
#endif
    if (fwboot_run(page_buffer, FWBOOT_WINDOW_MS) == FWBOOT_START) fwboot_start_application();
  }
}
