/* The flash seam on the ATmega2560's own flash: the application area is everything
 * below the 4 KiB boot section where the bootloader sits (BOOTSZ = 2048 words, BOOTRST
 * set). Page erase and write by SPM from the boot section (boot.h), which halts the CPU
 * while the application section is programmed. */
#include <avr/boot.h>
#include <avr/pgmspace.h>

#include "avr_port.h"
#include "bootloader/core/fwboot_port.h"

#define BOOT_SECTION_START 0x3F000ul

uint16_t fwboot_flash_page_size(void) { return SPM_PAGESIZE; }
uint32_t fwboot_flash_area_size(void) { return BOOT_SECTION_START; }

int fwboot_flash_erase_page(uint32_t offset) {
  boot_page_erase_safe(offset);
  boot_spm_busy_wait();
  boot_rww_enable_safe();
  return 1;
}

int fwboot_flash_write_page(uint32_t offset, const uint8_t *data) {
  uint16_t i;
  for (i = 0; i < SPM_PAGESIZE; i += 2) boot_page_fill_safe(offset + i, data[i] | (uint16_t)data[i + 1] << 8);
  boot_page_write_safe(offset);
  boot_spm_busy_wait();
  boot_rww_enable_safe();
  return 1;
}

void fwboot_flash_read(uint32_t offset, uint8_t *data, uint16_t length) {
  uint16_t i;
  for (i = 0; i < length; ++i) data[i] = pgm_read_byte_far(offset + i);
}
