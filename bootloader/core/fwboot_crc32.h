/* CRC-32 (IEEE 802.3, as zlib): fwboot_crc32_update(FWBOOT_CRC32_START, ...) byte by
 * byte, then fwboot_crc32_final. A 16-entry table: small in flash, twice as fast as bit
 * by bit, which matters for the check of the whole application at every reset. */
#ifndef FWBOOT_CRC32_H
#define FWBOOT_CRC32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_CRC32_START 0xFFFFFFFFul

uint32_t fwboot_crc32_update(uint32_t crc, uint8_t byte);
uint32_t fwboot_crc32_final(uint32_t crc);
/* The finished CRC-32 of length bytes. */
uint32_t fwboot_crc32_of(const uint8_t *bytes, uint16_t length);

#ifdef __cplusplus
}
#endif

#endif
