/* The bootloader's core: what happens from a reset until the application starts.
 *
 *   fwboot_check(&state)     whether the valid record matches the application in flash
 *   fwboot_run(buffer, ms, protocols)
 *                            one reset: the decision, the sync window, at most one
 *                            conversation; tells what the port does next
 *
 * Two protocols open with a byte of their own: the sync 0xA5 the first, byte for byte
 * (fwboot.c), the probe the second, in frames (fwboot_frames.c). A device that speaks
 * only the first ignores the probe, as any other stray byte.
 *
 * The port's main loop is: for (;;) if (fwboot_run(...) == FWBOOT_START) start it;
 * every other outcome is followed by a reset (the device resets itself after a
 * conversation, whatever its end). */
#ifndef FWBOOT_H
#define FWBOOT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_SYNC 0xA5u
#define FWBOOT_SYNC_ACK 0x5Au
/* '?': neither a byte the first protocol sends (0x00, 0x15, 0x5A, 0x80, 0xFF) nor its sync. */
#define FWBOOT_PROBE 0x3Fu
#define FWBOOT_REQUEST 0x80u
#define FWBOOT_END_MARKER 0xFFu
/* Sent instead of the next request when the header is refused: the host reports a
 * request it does not know, and the device has erased nothing. */
#define FWBOOT_REFUSAL 0x15u
/* The host gives up after 2000 ms without a request; the device waits a little longer
 * for each byte before it ends the conversation. */
#define FWBOOT_BYTE_TIMEOUT_MS 3000u

typedef struct {
  int valid;           /* the record is whole and its CRC matches the flash */
  uint32_t length;     /* the application's length and CRC-32, when valid */
  uint32_t crc32;
} fwboot_state;

typedef enum {
  FWBOOT_PROTOCOL_1,       /* the probe is noise, as on a device that predates it */
  FWBOOT_PROTOCOLS_1_AND_2 /* the probe is answered; 0xA5 still means the first */
} fwboot_protocols;

typedef enum {
  FWBOOT_START,    /* a valid application and no sync in the window: start it */
  FWBOOT_FLASHED,  /* a new application was received, checked and marked valid */
  FWBOOT_REFUSED,  /* the header was refused; nothing was erased */
  FWBOOT_FAILED    /* the conversation broke off or the read-back failed: no record (or,
                      when nothing was erased yet, the old one) */
} fwboot_outcome;

void fwboot_check(fwboot_state *state);
/* buffer: one page of RAM, fwboot_flash_page_size() bytes. window_ms: how long a valid
 * application waits for a sync or a probe before it starts. */
fwboot_outcome fwboot_run(uint8_t *buffer, uint16_t window_ms, fwboot_protocols protocols);

#ifdef __cplusplus
}
#endif

#endif
