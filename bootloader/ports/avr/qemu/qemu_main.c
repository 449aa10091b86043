/* The bootloader on QEMU's ATmega2560: every pass of the loop is a reset, and each
 * reports the state it finds, for the emulated board's test. */
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/avr/avr_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "qemu_port.h"

/* A long window: the test's second flash comes after it has read the report, however
 * busy the machine. */
#define WINDOW_MS 60000u

static uint8_t page_buffer[QEMU_FLASH_PAGE_SIZE];

static void report_state(void) {
  fwboot_state state;
  char text[FWBOOT_STATE_TEXT_SIZE];
  fwboot_check(&state);
  fwboot_state_text(&state, text);
  qemu_report_line(text);
}

__attribute__((OS_main, section(".init9"))) int main(void) {
  avr_port_start();
  qemu_report_start();
  qemu_flash_start();
  for (;;) {
    report_state();
    if (fwboot_run(page_buffer, WINDOW_MS, FWBOOT_PROTOCOLS_1_AND_2) == FWBOOT_START) fwboot_start_application();
  }
}
