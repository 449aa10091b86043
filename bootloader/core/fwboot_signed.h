/* The signed image's header: its parse (a header from the wire is hostile input: every
 * field is checked against the bytes there are) and its writing. The layout is described
 * for vendors in bootloader/README.md ("The signed image"); all numbers little-endian.
 *
 *   magic "FWS1" | header size | app length | version | counter | region count, 0, 0, 0
 *   | regions (offset, length, blank, 0, 0, 0) | SHA-512 of the app, regions blank
 *   | key id | Ed25519 signature of all the header before it | app bytes
 *
 * Checking the hash and the signature needs bootloader/crypto/ (fwboot_signed_check.h). */
#ifndef FWBOOT_SIGNED_H
#define FWBOOT_SIGNED_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_SIGNED_MAGIC 0x31535746ul /* "FWS1" as stored, little-endian */
#define FWBOOT_SIGNED_PREFIX_SIZE 8u     /* the magic and the header's size: enough to know the rest's */
#define FWBOOT_SIGNED_MAX_REGIONS 8u
#define FWBOOT_SIGNED_REGION_SIZE 12u
#define FWBOOT_SIGNED_BASE_SIZE 160u /* the header without regions */
#define FWBOOT_SIGNED_MAX_HEADER_SIZE (FWBOOT_SIGNED_BASE_SIZE + FWBOOT_SIGNED_MAX_REGIONS * FWBOOT_SIGNED_REGION_SIZE)
#define FWBOOT_APP_HASH_BYTES 64u
#define FWBOOT_KEY_ID_BYTES 8u
#define FWBOOT_SIGNATURE_BYTES 64u

/* Bytes a production line may write after signing; they stand at blank when signed. */
typedef struct {
  uint32_t offset; /* from the application's first byte */
  uint32_t length;
  uint8_t blank; /* 0x00 or 0xFF */
} fwboot_region;

typedef struct {
  uint32_t header_size;
  uint32_t app_length;
  uint8_t version_major, version_minor;
  uint16_t version_patch;
  uint32_t counter;
  uint8_t region_count;
  fwboot_region regions[FWBOOT_SIGNED_MAX_REGIONS]; /* ascending, apart, inside the app */
  uint8_t app_hash[FWBOOT_APP_HASH_BYTES];
  uint8_t key_id[FWBOOT_KEY_ID_BYTES];
  uint8_t signature[FWBOOT_SIGNATURE_BYTES];
} fwboot_signed_header;

typedef enum {
  FWBOOT_SIGNED_OK = 0,
  FWBOOT_SIGNED_NOT_SIGNED,  /* another magic */
  FWBOOT_SIGNED_BAD_SIZE,    /* fewer bytes than the header's size, or a size no header has */
  FWBOOT_SIGNED_BAD_LENGTH,  /* no application, or one that does not fit */
  FWBOOT_SIGNED_BAD_REGION,  /* empty, outside the app, overlapping, unsorted, or a blank not 0x00/0xFF */
  FWBOOT_SIGNED_BAD_RESERVED /* a byte that must be zero is not */
} fwboot_signed_status;

/* The header's size from its first FWBOOT_SIGNED_PREFIX_SIZE bytes; 0 when the magic
 * differs or the size is none a header can have. */
uint32_t fwboot_signed_header_size(const uint8_t *prefix);

/* Parses the header at the start of the available bytes (more may follow: the app). */
fwboot_signed_status fwboot_parse_signed_header(const uint8_t *bytes, uint32_t available, uint32_t max_app_length,
                                                fwboot_signed_header *header);

/* Writes the header's bytes (header_size of them, from the region count); the bytes the
 * signature covers are the first header_size - FWBOOT_SIGNATURE_BYTES. */
void fwboot_write_signed_header(uint8_t *bytes, const fwboot_signed_header *header);

#ifdef __cplusplus
}
#endif

#endif
