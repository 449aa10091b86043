#include "fwboot_verify.h"

#include <string.h>

#include "crypto_hash_sha512.h"
#include "crypto_sign_ed25519.h"

/* The opaque state holds libsodium's: compiling fails when it does not fit. */
typedef char fwboot_sha512_state_fits[sizeof(fwboot_sha512_state) >= sizeof(crypto_hash_sha512_state) ? 1 : -1];

void fwboot_sha512_init(fwboot_sha512_state *state) {
  crypto_hash_sha512_state sodium;
  crypto_hash_sha512_init(&sodium);
  memcpy(state, &sodium, sizeof sodium);
}

void fwboot_sha512_update(fwboot_sha512_state *state, const uint8_t *bytes, size_t length) {
  crypto_hash_sha512_state sodium;
  memcpy(&sodium, state, sizeof sodium);
  crypto_hash_sha512_update(&sodium, bytes, length);
  memcpy(state, &sodium, sizeof sodium);
}

void fwboot_sha512_final(fwboot_sha512_state *state, uint8_t digest[FWBOOT_SHA512_BYTES]) {
  crypto_hash_sha512_state sodium;
  memcpy(&sodium, state, sizeof sodium);
  crypto_hash_sha512_final(&sodium, digest);
  memset(state, 0, sizeof *state);
}

int fwboot_ed25519_verify(const uint8_t signature[FWBOOT_ED25519_SIGNATURE_BYTES], const uint8_t *message,
                          size_t length, const uint8_t public_key[FWBOOT_ED25519_PUBLIC_KEY_BYTES]) {
  return crypto_sign_ed25519_verify_detached(signature, message, length, public_key) == 0;
}
