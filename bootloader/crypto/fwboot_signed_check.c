#include "fwboot_signed_check.h"

void fwboot_key_id(const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES], uint8_t id[FWBOOT_KEY_ID_BYTES]) {
  fwboot_sha512_state state;
  uint8_t digest[FWBOOT_SHA512_BYTES];
  uint8_t i;
  fwboot_sha512_init(&state);
  fwboot_sha512_update(&state, public_key, FWBOOT_ED25519_PUBLIC_KEY_BYTES);
  fwboot_sha512_final(&state, digest);
  for (i = 0; i < FWBOOT_KEY_ID_BYTES; ++i) id[i] = digest[i];
}

int fwboot_signed_header_verifies(const uint8_t *bytes, const fwboot_signed_header *header,
                                  const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES]) {
  uint8_t id[FWBOOT_KEY_ID_BYTES];
  uint8_t i;
  if (header->header_size < FWBOOT_SIGNED_BASE_SIZE) return 0; /* not one the parser made */
  fwboot_key_id(public_key, id);
  for (i = 0; i < FWBOOT_KEY_ID_BYTES; ++i)
    if (id[i] != header->key_id[i]) return 0;
  return fwboot_ed25519_verify(header->signature, bytes, header->header_size - FWBOOT_SIGNATURE_BYTES, public_key);
}

/* The bytes from offset on that stand in one piece: inside one region (*blank set, 1
 * returned) or up to the next region's start (0 returned). */
static uint32_t run_at(const fwboot_signed_header *header, uint32_t offset, uint32_t length, int *in_region,
                       uint8_t *blank) {
  uint8_t i;
  *in_region = 0;
  for (i = 0; i < header->region_count; ++i) {
    const fwboot_region *region = &header->regions[i];
    if (offset >= region->offset && offset - region->offset < region->length) {
      uint32_t left = region->length - (offset - region->offset);
      *in_region = 1;
      *blank = region->blank;
      return left < length ? left : length;
    }
    if (region->offset > offset) return region->offset - offset < length ? region->offset - offset : length;
  }
  return length;
}

void fwboot_app_hash_update(fwboot_sha512_state *state, const fwboot_signed_header *header, uint32_t offset,
                            const uint8_t *bytes, size_t length) {
  uint8_t blanks[16];
  while (length > 0) {
    int in_region;
    uint8_t blank = 0;
    uint32_t run = run_at(header, offset, length > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)length, &in_region, &blank);
    if (in_region) {
      uint32_t left = run, i;
      for (i = 0; i < sizeof blanks; ++i) blanks[i] = blank;
      for (; left > sizeof blanks; left -= sizeof blanks) fwboot_sha512_update(state, blanks, sizeof blanks);
      fwboot_sha512_update(state, blanks, left);
    } else {
      fwboot_sha512_update(state, bytes, run);
    }
    offset += run;
    bytes += run;
    length -= run;
  }
}
