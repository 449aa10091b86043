/* SHA-512 and Ed25519 verification for the bootloader and the host's checks: libsodium's
 * ref10 code (taken from Debian's source package by tools/sodium/take-libsodium.sh),
 * behind this header of ours. Compiled only into builds that check signatures. */
#ifndef FWBOOT_VERIFY_H
#define FWBOOT_VERIFY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_SHA512_BYTES 64u
#define FWBOOT_ED25519_PUBLIC_KEY_BYTES 32u
#define FWBOOT_ED25519_SIGNATURE_BYTES 64u

/* A hash in progress. Its bytes are libsodium's state, copied in and out by each call,
 * so that this header needs none of libsodium's. */
typedef struct {
  uint64_t opaque[26];
} fwboot_sha512_state;

void fwboot_sha512_init(fwboot_sha512_state *state);
void fwboot_sha512_update(fwboot_sha512_state *state, const uint8_t *bytes, size_t length);
void fwboot_sha512_final(fwboot_sha512_state *state, uint8_t digest[FWBOOT_SHA512_BYTES]);

/* 1 when signature is public_key's Ed25519 signature of the length bytes of message
 * (non-canonical encodings and small-order keys are refused), else 0. */
int fwboot_ed25519_verify(const uint8_t signature[FWBOOT_ED25519_SIGNATURE_BYTES], const uint8_t *message,
                          size_t length, const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES]);

#ifdef __cplusplus
}
#endif

#endif
