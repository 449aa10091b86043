#include "fwboot_image.h"

uint32_t fwboot_get_u32(const uint8_t *bytes) {
  return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

void fwboot_put_u32(uint8_t *bytes, uint32_t value) {
  uint8_t i;
  for (i = 0; i < 4; ++i) bytes[i] = (uint8_t)(value >> (8 * i));
}

void fwboot_make_header(uint8_t header[FWBOOT_HEADER_SIZE], uint32_t app_length) {
  fwboot_put_u32(header, FWBOOT_HEADER_MAGIC);
  fwboot_put_u32(header + 4, app_length + FWBOOT_HEADER_SIZE);
}

uint32_t fwboot_header_app_length(const uint8_t header[FWBOOT_HEADER_SIZE], uint32_t max_app_length) {
  uint32_t total = fwboot_get_u32(header + 4);
  if (fwboot_get_u32(header) != FWBOOT_HEADER_MAGIC || total <= FWBOOT_HEADER_SIZE) return 0;
  if (total - FWBOOT_HEADER_SIZE > max_app_length) return 0;
  return total - FWBOOT_HEADER_SIZE;
}
