/* The image the host sends and the valid record the device keeps. The layout is
 * described for vendors in bootloader/README.md ("The image and the valid record").
 *
 *   image:  magic "FWB1" | total length, u32 little-endian, header included | app bytes
 *   record: app length, u32 LE | CRC-32 of the app bytes, u32 LE | magic "VLD1"
 *
 * The record sits at the start of the application area's last page; its magic comes
 * last, so a record write cut short never shows the magic. */
#ifndef FWBOOT_IMAGE_H
#define FWBOOT_IMAGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_HEADER_SIZE 8u
#define FWBOOT_RECORD_SIZE 12u
#define FWBOOT_HEADER_MAGIC 0x31425746ul /* "FWB1" as stored, little-endian */
#define FWBOOT_RECORD_MAGIC 0x31444C56ul /* "VLD1" */

uint32_t fwboot_get_u32(const uint8_t *bytes);
void fwboot_put_u32(uint8_t *bytes, uint32_t value);

/* Writes the header for an application of app_length bytes. */
void fwboot_make_header(uint8_t header[FWBOOT_HEADER_SIZE], uint32_t app_length);

/* The application's length from a received header; 0 when it is no header or the
 * application would not fit in max_app_length bytes (or is empty). */
uint32_t fwboot_header_app_length(const uint8_t header[FWBOOT_HEADER_SIZE], uint32_t max_app_length);

#ifdef __cplusplus
}
#endif

#endif
