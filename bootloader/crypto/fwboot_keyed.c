/* The guard of a build with keys (fwboot_guard.h): only a signed image whose signature
 * verifies with one of the port's keys and whose counter is not below the device's is
 * taken; its application must hash, regions blank, to what the header says before it is
 * marked valid. Every check of the header is made before anything is erased. */
#include "bootloader/core/fwboot_counter.h"
#include "bootloader/core/fwboot_guard.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/crypto/fwboot_keyed.h"
#include "bootloader/crypto/fwboot_signed_check.h"

/* The record's version after its magic, with its complement: a record written without
 * one (0xFF there) reads as 0.0.0. */
#define RECORD_VERSION_AT 12u

static fwboot_signed_header header;
static fwboot_sha512_state hash;

uint32_t fwboot_app_area(void) {
  return fwboot_key_count() == 0 ? fwboot_record_offset() : fwboot_counter_offset();
}

/* A header that is not signed, or too long for the page buffer, is taken as 8 bytes: it
 * is refused once they are in. */
uint32_t fwboot_guard_header_size(const uint8_t *first) {
  uint32_t size;
  if (fwboot_key_count() == 0) return FWBOOT_HEADER_SIZE;
  size = fwboot_signed_header_size(first);
  return size != 0 && size <= fwboot_flash_page_size() ? size : FWBOOT_HEADER_SIZE;
}

static uint8_t check(const uint8_t *bytes, uint32_t size) {
  uint8_t i;
  if (fwboot_parse_signed_header(bytes, size, fwboot_app_area(), &header) != FWBOOT_SIGNED_OK ||
      header.header_size != size)
    return FWBOOT_REASON_HEADER;
  for (i = 0; i < fwboot_key_count(); ++i) {
    uint8_t id[FWBOOT_KEY_ID_BYTES], k, same = 1;
    fwboot_key_id(fwboot_key(i), id);
    for (k = 0; k < FWBOOT_KEY_ID_BYTES; ++k) same &= id[k] == header.key_id[k];
    if (!same) continue;
    if (!fwboot_signed_header_verifies(bytes, &header, fwboot_key(i))) return FWBOOT_REASON_SIGNATURE;
    /* Only a header the vendor signed tells the counter. */
    return header.counter < fwboot_counter_read() ? FWBOOT_REASON_COUNTER : FWBOOT_REASON_NONE;
  }
  return FWBOOT_REASON_KEY;
}

uint32_t fwboot_guard_begin(const uint8_t *bytes, uint32_t size, uint8_t *reason) {
  if (fwboot_key_count() == 0) {
    *reason = FWBOOT_REASON_HEADER;
    return fwboot_header_app_length(bytes, fwboot_record_offset());
  }
  *reason = check(bytes, size);
  if (*reason != FWBOOT_REASON_NONE) return 0;
  fwboot_sha512_init(&hash);
  return header.app_length;
}

void fwboot_guard_take(uint32_t offset, const uint8_t *bytes, uint16_t length) {
  if (fwboot_key_count() != 0) fwboot_app_hash_update(&hash, &header, offset, bytes, length);
}

uint8_t fwboot_guard_seal(uint8_t *buffer) {
  uint8_t digest[FWBOOT_SHA512_BYTES], i, differs = 0;
  if (fwboot_key_count() == 0) return FWBOOT_REASON_NONE;
  fwboot_sha512_final(&hash, digest);
  for (i = 0; i < FWBOOT_SHA512_BYTES; ++i) differs |= digest[i] ^ header.app_hash[i];
  if (differs) return FWBOOT_REASON_HASH;
  return fwboot_counter_raise(buffer, header.counter) ? FWBOOT_REASON_NONE : FWBOOT_REASON_FLASH;
}

void fwboot_guard_record(uint8_t *record) {
  uint32_t version;
  if (fwboot_key_count() == 0) return;
  version = header.version_major | (uint32_t)header.version_minor << 8 | (uint32_t)header.version_patch << 16;
  fwboot_put_u32(record + RECORD_VERSION_AT, version);
  fwboot_put_u32(record + RECORD_VERSION_AT + 4, ~version);
}

uint32_t fwboot_installed_version(void) {
  uint8_t bytes[8];
  uint32_t version;
  fwboot_flash_read(fwboot_record_offset() + RECORD_VERSION_AT, bytes, 8);
  version = fwboot_get_u32(bytes);
  return fwboot_get_u32(bytes + 4) == (uint32_t)~version ? version : 0;
}
