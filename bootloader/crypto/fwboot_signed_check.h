/* What a signed header promises, checked: its key, its signature, and the hash of the
 * application with every region at its blank value. */
#ifndef FWBOOT_SIGNED_CHECK_H
#define FWBOOT_SIGNED_CHECK_H

#include <stddef.h>
#include <stdint.h>

#include "bootloader/core/fwboot_signed.h"
#include "bootloader/crypto/fwboot_verify.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A public key's id: the first FWBOOT_KEY_ID_BYTES bytes of its SHA-512. */
void fwboot_key_id(const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES], uint8_t id[FWBOOT_KEY_ID_BYTES]);

/* 1 when the header names public_key's id and its signature, of the header's bytes
 * before it, verifies with that key; else 0. bytes: the header as received. */
int fwboot_signed_header_verifies(const uint8_t *bytes, const fwboot_signed_header *header,
                                  const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES]);

/* Hashes length bytes of the application that start at its byte offset, each byte of a
 * region as the region's blank; any pieces in order make the hash of the whole. */
void fwboot_app_hash_update(fwboot_sha512_state *state, const fwboot_signed_header *header, uint32_t offset,
                            const uint8_t *bytes, size_t length);

#ifdef __cplusplus
}
#endif

#endif
