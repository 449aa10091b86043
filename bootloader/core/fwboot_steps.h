/* What both protocols do alike once a conversation has begun: the record's place, the
 * pages written and read back, the record written last, and the first protocol's
 * conversation itself, which a 0xA5 starts in either. Internal to the core. */
#ifndef FWBOOT_STEPS_H
#define FWBOOT_STEPS_H

#include <stdint.h>

#include "fwboot.h"

uint32_t fwboot_record_offset(void);
/* The running CRC-32 crc continued over the flash's bytes [offset, offset + length). */
uint32_t fwboot_flash_crc32(uint32_t crc, uint32_t offset, uint32_t length);
/* The page at offset: buffer's first received bytes, the rest erased (0xFF); 1 when done. */
int fwboot_write_page(uint8_t *buffer, uint32_t offset, uint16_t received);
int fwboot_write_record(uint8_t *buffer, uint32_t length, uint32_t crc);
/* The first protocol, from the sync's answer on. */
fwboot_outcome fwboot_converse(uint8_t *buffer);

#endif
