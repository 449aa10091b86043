/* The C library functions the crypto calls and gcc emits for copies of structures: there
 * is no C library in this freestanding build. */
#include <string.h>

void *memcpy(void *to, const void *from, size_t n) {
  unsigned char *t = to;
  const unsigned char *f = from;
  while (n-- > 0) *t++ = *f++;
  return to;
}

void *memmove(void *to, const void *from, size_t n) {
  unsigned char *t = to;
  const unsigned char *f = from;
  if (t < f) return memcpy(to, from, n);
  while (n-- > 0) t[n] = f[n];
  return to;
}

void *memset(void *to, int value, size_t n) {
  unsigned char *t = to;
  while (n-- > 0) *t++ = (unsigned char)value;
  return to;
}
