/* The second protocol, in frames: its bytes and the device's side of it.
 *
 *   frame:  0xC5 | kind | payload length L, u16 | arg, u32 | CRC-32 of these 8 bytes, u32
 *           | L payload bytes | CRC-32 of the payload, u32 (only when L > 0)
 *
 * After an answered probe, fwboot_frames(buffer) sends the capabilities and serves the
 * host's frames: a rate change and its check, BEGIN with the image header, DATA pages,
 * END with the length and CRC-32; it returns the outcome as the first protocol does.
 * The layout, the states and the faults are described in bootloader/README.md. */
#ifndef FWBOOT_FRAMES_H
#define FWBOOT_FRAMES_H

#include <stdint.h>

#include "fwboot.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_FRAME_START 0xC5u
#define FWBOOT_FRAME_HEADER_SIZE 12u
#define FWBOOT_FRAME_CRC_SIZE 4u
#define FWBOOT_PROTOCOL_VERSION 2u
#define FWBOOT_CAPS_SIZE 10u

/* Frame kinds: the host's, then the device's. */
#define FWBOOT_BAUD 0x01u
#define FWBOOT_CHECK 0x02u
#define FWBOOT_BEGIN 0x03u
#define FWBOOT_DATA 0x04u
#define FWBOOT_END 0x05u
#define FWBOOT_CAPS 0x81u
#define FWBOOT_ACK 0x82u
#define FWBOOT_NAK 0x83u
#define FWBOOT_RESULT 0x84u

/* A NAK's reason. */
#define FWBOOT_NAK_CRC 1u  /* the frame at the offset arrived damaged */
#define FWBOOT_NAK_LOST 2u /* a frame past the offset arrived, the one at it never did */
#define FWBOOT_NAK_RATE 3u /* a BAUD with a rate the device did not announce */

/* A RESULT's status. */
#define FWBOOT_RESULT_FLASHED 0u
#define FWBOOT_RESULT_REFUSED 1u /* the header; nothing was erased */
#define FWBOOT_RESULT_DIFFERS 2u /* the length or the CRC-32 the host sent */
#define FWBOOT_RESULT_FLASH_FAILED 3u

#define FWBOOT_RATE_COUNT 8u
#define FWBOOT_RATE_START 0xFFu /* 9600, where every reset begins */
/* How long the device waits at a new rate for the host's CHECK. */
#define FWBOOT_CHECK_WAIT_MS 500u

/* Rate i of 115200, 230400, 250000, 460800, 500000, 921600, 1000000, 2000000; 9600 for
 * FWBOOT_RATE_START. */
uint32_t fwboot_rate_baud(uint8_t rate);
/* Whether a frame header's CRC-32 holds (its start byte is not checked). */
int fwboot_frame_header_valid(const uint8_t header[FWBOOT_FRAME_HEADER_SIZE]);
fwboot_outcome fwboot_frames(uint8_t *buffer);

#ifdef __cplusplus
}
#endif

#endif
