/* The flash seam under QEMU, which emulates no self-programming: the application area
 * is a RAM array, erased at power-on. Erase and write behave as a flash page's would. */
#include <string.h>

#include "bootloader/core/fwboot_port.h"
#include "qemu_port.h"

#define AREA_PAGES 8u

static uint8_t area[QEMU_FLASH_PAGE_SIZE * AREA_PAGES];

void qemu_flash_start(void) { memset(area, 0xFF, sizeof area); }

uint16_t fwboot_flash_page_size(void) { return QEMU_FLASH_PAGE_SIZE; }
uint32_t fwboot_flash_area_size(void) { return sizeof area; }

int fwboot_flash_erase_page(uint32_t offset) {
  memset(area + offset, 0xFF, QEMU_FLASH_PAGE_SIZE);
  return 1;
}

int fwboot_flash_write_page(uint32_t offset, const uint8_t *data) {
  uint16_t i;
  for (i = 0; i < QEMU_FLASH_PAGE_SIZE; ++i) area[offset + i] &= data[i]; /* flash bits only fall to 0 */
  return 1;
}

void fwboot_flash_read(uint32_t offset, uint8_t *data, uint16_t length) {
  memcpy(data, area + offset, length);
}
