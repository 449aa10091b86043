/* Power cuts for tests: the QEMU build is linked with --wrap for the flash seam's erase
 * and write, which count the operations since QEMU started. When the count reaches the
 * word at 0x20000000 (0: never), the power goes in the middle of that operation: the
 * first half of its page done, the rest as it was; the line
 * {"power":"cut","operations":N} (N operations whole before it), then a reset.
 * A test sets the word on QEMU's command line, rewritten at every reset:
 *   -device loader,addr=0x20000000,data=K,data-len=4     (cut in the K-th operation)
 * The count keeps through resets, so a run has one cut at most. Both words stand in
 * .noinit, which the start-up leaves alone: QEMU starts its RAM zeroed. */
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "bootloader/ports/nrf51/nrf51_port.h"
#include "qemu_port.h"

#define HALF_PAGE (NRF51_PAGE_SIZE / 2u)

__attribute__((section(".noinit.cut"), used)) volatile uint32_t qemu_cut_in_operation;
__attribute__((section(".noinit"))) static volatile uint32_t operations;

int __real_fwboot_flash_erase_page(uint32_t offset);
int __real_fwboot_flash_write_page(uint32_t offset, const uint8_t *data);

static int cut_now(void) { return ++operations == qemu_cut_in_operation; }

__attribute__((noreturn)) static void power_cut(void) {
  char line[FWBOOT_STATE_TEXT_SIZE];
  fwboot_power_cut_text(operations - 1u, line);
  qemu_report_line(line);
  nrf51_system_reset();
}

int __wrap_fwboot_flash_erase_page(uint32_t offset) {
  static uint8_t kept[HALF_PAGE];
  uint32_t address = NRF51_APP_START + offset;
  if (!cut_now()) return __real_fwboot_flash_erase_page(offset);
  fwboot_flash_read(offset + HALF_PAGE, kept, HALF_PAGE);
  nrf51_flash_erase(address);
  nrf51_flash_program(address + HALF_PAGE, kept, HALF_PAGE);
  power_cut();
}

int __wrap_fwboot_flash_write_page(uint32_t offset, const uint8_t *data) {
  if (!cut_now()) return __real_fwboot_flash_write_page(offset, data);
  nrf51_flash_program(NRF51_APP_START + offset, data, HALF_PAGE);
  power_cut();
}
