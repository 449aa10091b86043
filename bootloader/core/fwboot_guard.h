/* What a build checks of an image beyond its CRC-32, behind one seam the conversations
 * call. A build without keys (the core as compiled by default, the AVR port) checks the
 * 8-byte header and nothing more: the macros below, which cost no code. A build with
 * keys defines FWBOOT_KEYS and links bootloader/crypto/fwboot_keyed.c, which takes only
 * signed images that verify with one of its keys (and with none, behaves as without).
 *
 *   fwboot_app_area()               the bytes an application may take
 *   fwboot_guard_header_size(first) the whole header's size from its first 8 bytes (8
 *                                   for one that will be refused)
 *   fwboot_guard_begin(header, size, &reason)
 *                                   the application's length from the whole header, 0
 *                                   when refused (*reason why); nothing is erased before
 *   fwboot_guard_take(offset, bytes, n)
 *                                   the application's bytes as they are written
 *   fwboot_guard_seal(buffer)       after the read-back matched, before the record: 0 when
 *                                   the application may be marked valid, else a reason
 *   fwboot_guard_record(record)     what the record keeps besides length and CRC-32
 * Internal to the core. */
#ifndef FWBOOT_GUARD_H
#define FWBOOT_GUARD_H

#include <stdint.h>

#include "fwboot_image.h"
#include "fwboot_steps.h"

/* Why an image is refused: the reason byte of a RESULT in the second protocol. */
#define FWBOOT_REASON_NONE 0u
#define FWBOOT_REASON_HEADER 1u    /* no header this device takes: unsigned, malformed, too long */
#define FWBOOT_REASON_KEY 2u       /* signed with a key the device does not hold */
#define FWBOOT_REASON_COUNTER 3u   /* its counter is lower than the device's */
#define FWBOOT_REASON_SIGNATURE 4u /* the signature does not verify */
#define FWBOOT_REASON_HASH 5u      /* the application received is not the one signed */
#define FWBOOT_REASON_FLASH 6u     /* the counter could not be written */

#ifdef FWBOOT_KEYS
uint32_t fwboot_app_area(void);
uint32_t fwboot_guard_header_size(const uint8_t *first);
uint32_t fwboot_guard_begin(const uint8_t *header, uint32_t size, uint8_t *reason);
void fwboot_guard_take(uint32_t offset, const uint8_t *bytes, uint16_t length);
uint8_t fwboot_guard_seal(uint8_t *buffer);
void fwboot_guard_record(uint8_t *record);
#else
#define fwboot_app_area() fwboot_record_offset()
#define fwboot_guard_header_size(first) FWBOOT_HEADER_SIZE
#define fwboot_guard_begin(header, size, reason) \
  (*(reason) = FWBOOT_REASON_HEADER, fwboot_header_app_length((header), fwboot_record_offset()))
#define fwboot_guard_take(offset, bytes, length) ((void)0)
#define fwboot_guard_seal(buffer) FWBOOT_REASON_NONE
#define fwboot_guard_record(record) ((void)0)
#endif

#endif
