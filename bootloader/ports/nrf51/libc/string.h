/* The few C library functions the crypto and the compiler call, for a build with no C
 * library (nrf51_libc.c). */
#ifndef NRF51_STRING_H
#define NRF51_STRING_H

#include <stddef.h>

void *memcpy(void *to, const void *from, size_t n);
void *memmove(void *to, const void *from, size_t n);
void *memset(void *to, int value, size_t n);

#endif
