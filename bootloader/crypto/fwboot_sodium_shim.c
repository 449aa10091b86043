/* The few libsodium internals its SHA-512 and Ed25519 code calls, our own: wiping a
 * buffer and comparing in constant time (the time never depends on where bytes differ). */
#include <stddef.h>
#include <stdint.h>

#include "crypto_verify_32.h"
#include "utils.h"

void sodium_memzero(void *const pnt, const size_t len) {
  volatile unsigned char *bytes = (volatile unsigned char *)pnt;
  size_t i;
  for (i = 0; i < len; ++i) bytes[i] = 0;  /* volatile: the compiler keeps the wipe */
}

/* 0 when equal, else -1, as libsodium's. */
static int differ(const unsigned char *a, const unsigned char *b, size_t length) {
  unsigned char bits = 0;
  size_t i;
  for (i = 0; i < length; ++i) bits |= (unsigned char)(a[i] ^ b[i]);
  return (int)((1u & ((bits - 1u) >> 8)) - 1u);
}

int crypto_verify_32(const unsigned char *x, const unsigned char *y) { return differ(x, y, 32); }

int sodium_memcmp(const void *const b1_, const void *const b2_, size_t len) {
  return differ((const unsigned char *)b1_, (const unsigned char *)b2_, len);
}

/* 1 when all bytes are zero, else 0. */
int sodium_is_zero(const unsigned char *n, const size_t nlen) {
  unsigned char bits = 0;
  size_t i;
  for (i = 0; i < nlen; ++i) bits |= n[i];
  return (int)(1u & ((bits - 1u) >> 8));
}
