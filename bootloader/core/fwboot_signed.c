#include "fwboot_signed.h"

#include "fwboot_image.h"

#define AT_HEADER_SIZE 4u
#define AT_APP_LENGTH 8u
#define AT_VERSION 12u
#define AT_COUNTER 16u
#define AT_REGION_COUNT 20u
#define AT_REGIONS 24u

static uint32_t size_for(uint32_t region_count) {
  return FWBOOT_SIGNED_BASE_SIZE + region_count * FWBOOT_SIGNED_REGION_SIZE;
}

uint32_t fwboot_signed_header_size(const uint8_t *prefix) {
  uint32_t size = fwboot_get_u32(prefix + AT_HEADER_SIZE);
  if (fwboot_get_u32(prefix) != FWBOOT_SIGNED_MAGIC) return 0;
  if (size < FWBOOT_SIGNED_BASE_SIZE || size > FWBOOT_SIGNED_MAX_HEADER_SIZE) return 0;
  if ((size - FWBOOT_SIGNED_BASE_SIZE) % FWBOOT_SIGNED_REGION_SIZE != 0) return 0;
  return size;
}

static int all_zero(const uint8_t *bytes, uint32_t length) {
  uint32_t i;
  for (i = 0; i < length; ++i)
    if (bytes[i] != 0) return 0;
  return 1;
}

static void copy(uint8_t *to, const uint8_t *from, uint32_t length) {
  uint32_t i;
  for (i = 0; i < length; ++i) to[i] = from[i];
}

/* Reads a region, which must start at or after end, where the one before it ended. */
static fwboot_signed_status parse_region(const uint8_t *at, uint32_t app_length, uint32_t *end, fwboot_region *region) {
  region->offset = fwboot_get_u32(at);
  region->length = fwboot_get_u32(at + 4);
  region->blank = at[8];
  if (!all_zero(at + 9, 3)) return FWBOOT_SIGNED_BAD_RESERVED;
  if (region->blank != 0x00 && region->blank != 0xFF) return FWBOOT_SIGNED_BAD_REGION;
  if (region->length == 0 || region->offset < *end) return FWBOOT_SIGNED_BAD_REGION;
  if (region->offset > app_length || region->length > app_length - region->offset) return FWBOOT_SIGNED_BAD_REGION;
  *end = region->offset + region->length;
  return FWBOOT_SIGNED_OK;
}

fwboot_signed_status fwboot_parse_signed_header(const uint8_t *bytes, uint32_t available, uint32_t max_app_length,
                                                fwboot_signed_header *header) {
  uint32_t size, end = 0;
  const uint8_t *tail;
  uint8_t i;
  if (available < FWBOOT_SIGNED_PREFIX_SIZE || fwboot_get_u32(bytes) != FWBOOT_SIGNED_MAGIC)
    return available < FWBOOT_SIGNED_PREFIX_SIZE ? FWBOOT_SIGNED_BAD_SIZE : FWBOOT_SIGNED_NOT_SIGNED;
  size = fwboot_signed_header_size(bytes);
  if (size == 0 || available < size || size != size_for(bytes[AT_REGION_COUNT])) return FWBOOT_SIGNED_BAD_SIZE;
  if (!all_zero(bytes + AT_REGION_COUNT + 1, 3)) return FWBOOT_SIGNED_BAD_RESERVED;
  header->header_size = size;
  header->app_length = fwboot_get_u32(bytes + AT_APP_LENGTH);
  if (header->app_length == 0 || header->app_length > max_app_length) return FWBOOT_SIGNED_BAD_LENGTH;
  header->version_major = bytes[AT_VERSION];
  header->version_minor = bytes[AT_VERSION + 1];
  header->version_patch = (uint16_t)(bytes[AT_VERSION + 2] | bytes[AT_VERSION + 3] << 8);
  header->counter = fwboot_get_u32(bytes + AT_COUNTER);
  header->region_count = bytes[AT_REGION_COUNT];
  for (i = 0; i < header->region_count; ++i) {
    fwboot_signed_status status = parse_region(bytes + AT_REGIONS + i * FWBOOT_SIGNED_REGION_SIZE,
                                               header->app_length, &end, &header->regions[i]);
    if (status != FWBOOT_SIGNED_OK) return status;
  }
  tail = bytes + size_for(header->region_count) - FWBOOT_SIGNATURE_BYTES - FWBOOT_KEY_ID_BYTES - FWBOOT_APP_HASH_BYTES;
  copy(header->app_hash, tail, FWBOOT_APP_HASH_BYTES);
  copy(header->key_id, tail + FWBOOT_APP_HASH_BYTES, FWBOOT_KEY_ID_BYTES);
  copy(header->signature, tail + FWBOOT_APP_HASH_BYTES + FWBOOT_KEY_ID_BYTES, FWBOOT_SIGNATURE_BYTES);
  return FWBOOT_SIGNED_OK;
}

void fwboot_write_signed_header(uint8_t *bytes, const fwboot_signed_header *header) {
  uint8_t *at, i;
  for (i = 0; i < AT_REGIONS; ++i) bytes[i] = 0;
  fwboot_put_u32(bytes, FWBOOT_SIGNED_MAGIC);
  fwboot_put_u32(bytes + AT_HEADER_SIZE, size_for(header->region_count));
  fwboot_put_u32(bytes + AT_APP_LENGTH, header->app_length);
  bytes[AT_VERSION] = header->version_major;
  bytes[AT_VERSION + 1] = header->version_minor;
  bytes[AT_VERSION + 2] = (uint8_t)header->version_patch;
  bytes[AT_VERSION + 3] = (uint8_t)(header->version_patch >> 8);
  fwboot_put_u32(bytes + AT_COUNTER, header->counter);
  bytes[AT_REGION_COUNT] = header->region_count;
  for (i = 0, at = bytes + AT_REGIONS; i < header->region_count; ++i, at += FWBOOT_SIGNED_REGION_SIZE) {
    fwboot_put_u32(at, header->regions[i].offset);
    fwboot_put_u32(at + 4, header->regions[i].length);
    at[8] = header->regions[i].blank;
    at[9] = at[10] = at[11] = 0;
  }
  copy(at, header->app_hash, FWBOOT_APP_HASH_BYTES);
  copy(at + FWBOOT_APP_HASH_BYTES, header->key_id, FWBOOT_KEY_ID_BYTES);
  copy(at + FWBOOT_APP_HASH_BYTES + FWBOOT_KEY_ID_BYTES, header->signature, FWBOOT_SIGNATURE_BYTES);
}
