/* A bootloader built with keys: the public keys its port holds (compiled in, or read by
 * the simulation from its --key files), and what the state line adds for it.
 *
 *   fwboot_key_count(), fwboot_key(i)   the port's keys, none to two; with none the build
 *                                       takes unsigned images, as one without keys; with
 *                                       keys the area holds 4 pages at least, each one
 *                                       the size of a signed header at least
 *   fwboot_installed_version()          the valid record's version, major | minor << 8 |
 *                                       patch << 16 as in the header; 0 (0.0.0) for a
 *                                       record without one
 * The guard itself is fwboot_guard.h's, with FWBOOT_KEYS defined. */
#ifndef FWBOOT_KEYED_H
#define FWBOOT_KEYED_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_MAX_KEYS 2u

uint8_t fwboot_key_count(void);
const uint8_t *fwboot_key(uint8_t index); /* 32 bytes */

uint32_t fwboot_installed_version(void);

#ifdef __cplusplus
}
#endif

#endif
