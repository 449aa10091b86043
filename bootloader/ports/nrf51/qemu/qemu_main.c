/* The bootloader on QEMU's microbit: the real one's loop, with the state reported at
 * every reset and the application's start reported before it is made. */
#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "bootloader/ports/nrf51/nrf51_port.h"
#include "qemu_port.h"
#ifdef FWBOOT_KEYS
#include "bootloader/core/fwboot_counter.h"
#include "bootloader/crypto/fwboot_keyed.h"
#endif

/* A long window: a test's next flash comes after it has read the report, however busy
 * the machine. */
#define WINDOW_MS 2000u

static uint8_t page_buffer[NRF51_PAGE_SIZE];

static void report_state(void) {
  fwboot_state state;
  char text[FWBOOT_STATE_TEXT_SIZE];
  fwboot_check(&state);
#ifdef FWBOOT_KEYS
  fwboot_keyed_state_text(&state, fwboot_installed_version(), fwboot_counter_read(), text);
#else
  fwboot_state_text(&state, text);
#endif
  qemu_report_line(text);
}

int main(void) {
  nrf51_port_start();
  report_state();
  if (fwboot_run(page_buffer, WINDOW_MS, FWBOOT_PROTOCOLS_1_AND_2) == FWBOOT_START) {
    qemu_report_line(FWBOOT_STARTED_TEXT);
    fwboot_start_application();
  }
  nrf51_system_reset();
}
