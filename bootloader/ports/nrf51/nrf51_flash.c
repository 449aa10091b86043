/* The flash seam on the NVMC: the application area from 0x8000 to the end of the flash,
 * pages of 1 KiB. The NVMC takes only whole 32-bit stores (a byte store to flash is a
 * HardFault), so a page is written word by word; a write only clears bits, so every page
 * is erased first. The CPU halts while a page is erased or a word written. */
#include "bootloader/core/fwboot_port.h"
#include "nrf51_port.h"

#define NVMC 0x4001E000u
#define NVMC_READY (NVMC + 0x400u)
#define NVMC_CONFIG (NVMC + 0x504u)
#define NVMC_ERASEPAGE (NVMC + 0x508u)

#define CONFIG_READ 0u
#define CONFIG_WRITE 1u
#define CONFIG_ERASE 2u

static void await_ready(void) {
  while (NRF51_REG(NVMC_READY) == 0) {
  }
}

void nrf51_flash_erase(uint32_t address) {
  NRF51_REG(NVMC_CONFIG) = CONFIG_ERASE;
  await_ready();
  NRF51_REG(NVMC_ERASEPAGE) = address;
  await_ready();
  NRF51_REG(NVMC_CONFIG) = CONFIG_READ;
}

void nrf51_flash_program(uint32_t address, const uint8_t *data, uint32_t bytes) {
  uint32_t i;
  NRF51_REG(NVMC_CONFIG) = CONFIG_WRITE;
  await_ready();
  for (i = 0; i < bytes; i += 4) {
    /* The page buffer need not be word-aligned. */
    NRF51_REG(address + i) = data[i] | (uint32_t)data[i + 1] << 8 | (uint32_t)data[i + 2] << 16 |
                             (uint32_t)data[i + 3] << 24;
    await_ready();
  }
  NRF51_REG(NVMC_CONFIG) = CONFIG_READ;
}

uint16_t fwboot_flash_page_size(void) { return NRF51_PAGE_SIZE; }
uint32_t fwboot_flash_area_size(void) { return NRF51_FLASH_SIZE - NRF51_APP_START; }

int fwboot_flash_erase_page(uint32_t offset) {
  nrf51_flash_erase(NRF51_APP_START + offset);
  return 1;
}

int fwboot_flash_write_page(uint32_t offset, const uint8_t *data) {
  nrf51_flash_program(NRF51_APP_START + offset, data, NRF51_PAGE_SIZE);
  return 1;
}

void fwboot_flash_read(uint32_t offset, uint8_t *data, uint16_t length) {
  const volatile uint8_t *flash = (const volatile uint8_t *)(NRF51_APP_START + offset);
  uint16_t i;
  for (i = 0; i < length; ++i) data[i] = flash[i];
}
