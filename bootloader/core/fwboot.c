/* The device's side of the download, which the device leads:
 *
 *   host 0xA5, device 0x5A
 *   for the header and then every application byte: device 0x80, host byte, device echo
 *   twice: device 0x80, host 0xFF, device 0xFF
 *
 * The header is checked before anything is erased. The valid record is erased before
 * the first application page is written, and written again only after the last end
 * round, once the pages read back give the CRC-32 of the bytes received: a power cut at
 * any moment leaves either the old valid application or no valid record. */
#include "fwboot.h"

#include "fwboot_crc32.h"
#include "fwboot_frames.h"
#include "fwboot_guard.h"
#include "fwboot_image.h"
#include "fwboot_port.h"
#include "fwboot_steps.h"

#define READ_CHUNK 16u

uint32_t fwboot_record_offset(void) { return fwboot_flash_area_size() - fwboot_flash_page_size(); }

uint32_t fwboot_flash_crc32(uint32_t crc, uint32_t offset, uint32_t length) {
  uint8_t chunk[READ_CHUNK];
  uint32_t end = offset + length;
  while (offset < end) {
    uint16_t n = end - offset < READ_CHUNK ? (uint16_t)(end - offset) : READ_CHUNK;
    uint16_t i;
    fwboot_flash_read(offset, chunk, n);
    for (i = 0; i < n; ++i) crc = fwboot_crc32_update(crc, chunk[i]);
    offset += n;
  }
  return crc;
}

int fwboot_write_page(uint8_t *buffer, uint32_t offset, uint16_t received) {
  uint16_t page = fwboot_flash_page_size();
  while (received < page) buffer[received++] = 0xFF;
  return fwboot_flash_erase_page(offset) && fwboot_flash_write_page(offset, buffer);
}

void fwboot_check(fwboot_state *state) {
  uint8_t record[FWBOOT_RECORD_SIZE];
  fwboot_flash_read(fwboot_record_offset(), record, FWBOOT_RECORD_SIZE);
  state->length = fwboot_get_u32(record);
  state->crc32 = fwboot_get_u32(record + 4);
  state->valid = fwboot_get_u32(record + 8) == FWBOOT_RECORD_MAGIC && state->length > 0 &&
                 state->length <= fwboot_record_offset() &&
                 fwboot_crc32_final(fwboot_flash_crc32(FWBOOT_CRC32_START, 0, state->length)) == state->crc32;
  if (!state->valid) state->length = state->crc32 = 0;
}

/* Whether byte opens a conversation: the sync, and the probe when the second protocol is
 * spoken. Anything else is noise on the line. */
static int opens(uint8_t byte, fwboot_protocols protocols) {
  return byte == FWBOOT_SYNC || (byte == FWBOOT_PROBE && protocols == FWBOOT_PROTOCOLS_1_AND_2);
}

/* The window counts waits of 1 ms at most, so each byte of noise counts as a whole
 * millisecond and shortens the window. 0 when nothing opened a conversation in time. */
static uint8_t opened_within(uint16_t window_ms, fwboot_protocols protocols) {
  uint8_t byte;
  uint16_t waited;
  for (waited = 0; waited < window_ms; ++waited) {
    if (fwboot_uart_get(&byte, 1) && opens(byte, protocols)) return byte;
  }
  return 0;
}

static uint8_t await_opening(fwboot_protocols protocols) {
  uint8_t byte;
  while (!fwboot_uart_get(&byte, 60000u) || !opens(byte, protocols)) {
  }
  return byte;
}

static int exchange(uint8_t *byte) {
  fwboot_uart_put(FWBOOT_REQUEST);
  if (!fwboot_uart_get(byte, FWBOOT_BYTE_TIMEOUT_MS)) return 0;
  fwboot_uart_put(*byte);
  return 1;
}

int fwboot_write_record(uint8_t *buffer, uint32_t length, uint32_t crc) {
  uint16_t i, page = fwboot_flash_page_size();
  for (i = 0; i < page; ++i) buffer[i] = 0xFF;
  fwboot_put_u32(buffer, length);
  fwboot_put_u32(buffer + 4, crc);
  fwboot_put_u32(buffer + 8, FWBOOT_RECORD_MAGIC);
  fwboot_guard_record(buffer);
  return fwboot_flash_write_page(fwboot_record_offset(), buffer);
}

/* The end rounds. The second echo waits for the record: a device whose read-back differs
 * from what it received answers 0x00, and the host reports the failure. */
static fwboot_outcome finish(uint8_t *buffer, uint32_t length, uint32_t crc, uint32_t read_back) {
  uint8_t marker;
  int whole;
  if (!exchange(&marker) || marker != FWBOOT_END_MARKER) return FWBOOT_FAILED;
  fwboot_uart_put(FWBOOT_REQUEST);
  if (!fwboot_uart_get(&marker, FWBOOT_BYTE_TIMEOUT_MS)) return FWBOOT_FAILED;
  whole = marker == FWBOOT_END_MARKER && read_back == crc && fwboot_guard_seal(buffer) == FWBOOT_REASON_NONE &&
          fwboot_write_record(buffer, length, crc);
  fwboot_uart_put(whole ? FWBOOT_END_MARKER : 0x00);
  return whole ? FWBOOT_FLASHED : FWBOOT_FAILED;
}

fwboot_outcome fwboot_converse(uint8_t *buffer) {
  uint16_t page = fwboot_flash_page_size(), fill = 0;
  uint32_t length, i, offset = 0, crc = FWBOOT_CRC32_START, read_back = FWBOOT_CRC32_START;
  uint8_t reason;
  fwboot_uart_put(FWBOOT_SYNC_ACK);
  for (i = 0; i < FWBOOT_HEADER_SIZE; ++i) {
    if (!exchange(&buffer[i])) return FWBOOT_FAILED;
  }
  length = fwboot_guard_header_size(buffer);
  for (; i < length; ++i) {
    if (!exchange(&buffer[i])) return FWBOOT_FAILED;
  }
  length = fwboot_guard_begin(buffer, length, &reason);
  if (length == 0) {
    fwboot_uart_put(FWBOOT_REFUSAL);
    return FWBOOT_REFUSED;
  }
  if (!fwboot_flash_erase_page(fwboot_record_offset())) return FWBOOT_FAILED;
  for (i = 0; i < length; ++i) {
    if (!exchange(&buffer[fill])) return FWBOOT_FAILED;
    crc = fwboot_crc32_update(crc, buffer[fill++]);
    if (fill < page && i + 1 < length) continue;
    fwboot_guard_take(offset, buffer, fill);
    if (!fwboot_write_page(buffer, offset, fill)) return FWBOOT_FAILED;
    /* Each page is read back as soon as it is written: the time goes where the host waits
     * for a request anyway, not into the last echo, which it awaits for 2 s at most. */
    read_back = fwboot_flash_crc32(read_back, offset, fill);
    offset += page;
    fill = 0;
  }
  return finish(buffer, length, fwboot_crc32_final(crc), fwboot_crc32_final(read_back));
}

fwboot_outcome fwboot_run(uint8_t *buffer, uint16_t window_ms, fwboot_protocols protocols) {
  fwboot_state state;
  uint8_t opening;
  fwboot_check(&state);
  opening = state.valid ? opened_within(window_ms, protocols) : await_opening(protocols);
  if (opening == 0) return FWBOOT_START;
  return opening == FWBOOT_SYNC ? fwboot_converse(buffer) : fwboot_frames(buffer);
}
