/* The device's side of the second protocol. The host streams page-sized DATA frames, up
 * to the frames in flight the device announced; the device takes them one at a time
 * from its UART, writes and reads back each page before it takes the next, and
 * acknowledges each with the offset it expects next. Whatever goes wrong on the line
 * costs a frame: a damaged one is refused (NAK, reason CRC), one past a lost one is
 * named once (NAK, reason lost), a resend after a lost ACK is acknowledged again.
 *
 * As in the first protocol, the header is checked before anything is erased, the valid
 * record is erased before the first page and written only after END has matched the
 * length, the CRC-32 received and the CRC-32 read back. */
#include "fwboot_frames.h"

#include "fwboot_crc32.h"
#include "fwboot_guard.h"
#include "fwboot_image.h"
#include "fwboot_port.h"
#include "fwboot_steps.h"

typedef enum { GOT_NOTHING, GOT_SYNC, GOT_PROBE, GOT_FRAME } got;
/* A new rate holds once the host's CHECK has come at it and then a frame after the ACK
 * (a host that lost the ACK went back to 9600). */
enum { RATE_HELD, CHECK_AWAITED, FRAME_AWAITED };

typedef struct {
  uint8_t *buffer; /* the page buffer: every payload goes straight into it */
  uint16_t page;
  uint8_t kind;
  uint16_t length;
  uint32_t arg;
  uint8_t payload_good;
  uint8_t rate;      /* the rate in force, FWBOOT_RATE_START for 9600 */
  uint8_t checking;  /* the rate is new: CHECK_AWAITED, then FRAME_AWAITED after its ACK */
  uint16_t check_ms; /* what is left of the check's wait */
  uint8_t began;     /* BEGIN was accepted: the record is erased */
  uint8_t nak_armed; /* a frame past expected may still be named lost */
  uint32_t app_length, expected, crc, read_back;
  uint8_t over;
  fwboot_outcome outcome; /* once it is over */
} session;

static const uint32_t rate_bauds[FWBOOT_RATE_COUNT] = {115200ul, 230400ul, 250000ul,  460800ul,
                                                       500000ul, 921600ul, 1000000ul, 2000000ul};

uint32_t fwboot_rate_baud(uint8_t rate) { return rate < FWBOOT_RATE_COUNT ? rate_bauds[rate] : 9600ul; }

int fwboot_frame_header_valid(const uint8_t header[FWBOOT_FRAME_HEADER_SIZE]) {
  return fwboot_crc32_of(header, 8) == fwboot_get_u32(header + 8);
}

static void put_all(const uint8_t *bytes, uint16_t n) {
  while (n-- > 0) fwboot_uart_put(*bytes++);
}

static void send(uint8_t kind, uint32_t arg, const uint8_t *payload, uint8_t length) {
  uint8_t header[FWBOOT_FRAME_HEADER_SIZE], crc[FWBOOT_FRAME_CRC_SIZE];
  header[0] = FWBOOT_FRAME_START;
  header[1] = kind;
  header[2] = length;
  header[3] = 0;
  fwboot_put_u32(header + 4, arg);
  fwboot_put_u32(header + 8, fwboot_crc32_of(header, 8));
  put_all(header, FWBOOT_FRAME_HEADER_SIZE);
  if (length == 0) return;
  put_all(payload, length);
  fwboot_put_u32(crc, fwboot_crc32_of(payload, length));
  put_all(crc, FWBOOT_FRAME_CRC_SIZE);
}

static void send_caps(const session *s) {
  uint8_t caps[FWBOOT_CAPS_SIZE];
  caps[0] = FWBOOT_PROTOCOL_VERSION;
  caps[1] = fwboot_uart_rates();
  caps[2] = (uint8_t)s->page;
  caps[3] = (uint8_t)(s->page >> 8);
  caps[4] = fwboot_uart_frames();
  caps[5] = 0;
  fwboot_put_u32(caps + 6, fwboot_app_area());
  send(FWBOOT_CAPS, 0, caps, FWBOOT_CAPS_SIZE);
}

static void ack(uint32_t arg) { send(FWBOOT_ACK, arg, 0, 0); }

static void nak(session *s, uint8_t reason) {
  send(FWBOOT_NAK, s->expected, &reason, 1);
  s->nak_armed = 0;
}

/* A reason beyond the header's (which a host knows from the status alone) goes in a
 * payload byte, which a host that knows no reasons reads past. */
static void end(session *s, uint8_t status, uint8_t reason) {
  send(FWBOOT_RESULT, status, &reason, reason > FWBOOT_REASON_HEADER ? 1 : 0);
  s->outcome = status == FWBOOT_RESULT_FLASHED   ? FWBOOT_FLASHED
               : status == FWBOOT_RESULT_REFUSED ? FWBOOT_REFUSED
                                                 : FWBOOT_FAILED;
  s->over = 1;
}

/* The next byte: within 3 s in a session; while a new rate is checked, within what is
 * left of the check's wait, each byte or wait of 1 ms counting a millisecond (a BEGIN,
 * at most 272 bytes, fits the wait for the frame after CHECK). */
static int next_byte(session *s, uint8_t *byte) {
  if (s->checking == RATE_HELD) return fwboot_uart_get(byte, FWBOOT_BYTE_TIMEOUT_MS);
  while (s->check_ms > 0) {
    --s->check_ms;
    if (fwboot_uart_get(byte, 1)) return 1;
  }
  return 0;
}

static uint8_t take(session *s, uint8_t *bytes, uint16_t n) {
  while (n-- > 0) {
    if (!next_byte(s, bytes++)) return 0;
  }
  return 1;
}

/* A payload and its CRC-32, taken before either CRC-32 is computed: a polled UART at
 * 2 Mbaud has no time for it between two bytes. */
static uint8_t take_payload(session *s, uint16_t length) {
  uint8_t crc[FWBOOT_FRAME_CRC_SIZE];
  s->payload_good = 1;
  if (length == 0) return 1;
  if (!take(s, s->buffer, length) || !take(s, crc, FWBOOT_FRAME_CRC_SIZE)) return 0;
  s->payload_good = fwboot_crc32_of(s->buffer, length) == fwboot_get_u32(crc);
  return 1;
}

/* Hunts for the next frame: a start byte, then a header whose CRC-32 holds and whose
 * payload fits a page (no frame's is longer). A header that does not hold moves the hunt
 * to the next start byte inside it; the payload it claimed, when taken already, is lost
 * (its frame is resent anyway). Until BEGIN, a sync or a probe between frames is taken as
 * such. */
static got receive(session *s) {
  uint8_t header[FWBOOT_FRAME_HEADER_SIZE], n = 0, i;
  uint16_t length;
  for (;;) {
    if (!next_byte(s, &header[n])) return GOT_NOTHING;
    if (n == 0 && header[0] != FWBOOT_FRAME_START) {
      if (s->began || s->checking) continue;
      if (header[0] == FWBOOT_SYNC) return GOT_SYNC;
      if (header[0] == FWBOOT_PROBE) return GOT_PROBE;
      continue;
    }
    if (++n < FWBOOT_FRAME_HEADER_SIZE) continue;
    length = (uint16_t)(header[2] | header[3] << 8);
    if (length <= s->page) {
      if (!take_payload(s, length)) return GOT_NOTHING;
      if (fwboot_frame_header_valid(header)) break;
    }
    do {
      for (i = 1; i < n; ++i) header[i - 1] = header[i];
    } while (--n > 0 && header[0] != FWBOOT_FRAME_START);
  }
  s->kind = header[1];
  s->length = length;
  s->arg = fwboot_get_u32(header + 4);
  return GOT_FRAME;
}

static uint8_t rate_index(uint32_t baud) {
  uint8_t i, rates = fwboot_uart_rates();
  for (i = 0; i < FWBOOT_RATE_COUNT; ++i) {
    if (rate_bauds[i] == baud && (rates >> i & 1u)) return i;
  }
  return FWBOOT_RATE_START;
}

/* Agreed at the old rate, all of it on the line, then the new rate until the check. */
static void answer_baud(session *s) {
  uint8_t rate = rate_index(s->arg);
  if (rate == FWBOOT_RATE_START) {
    nak(s, FWBOOT_NAK_RATE);
    return;
  }
  ack(s->arg);
  fwboot_uart_set_rate(rate);
  s->rate = rate;
  s->checking = CHECK_AWAITED;
  s->check_ms = FWBOOT_CHECK_WAIT_MS;
}

static void back_to_start_rate(session *s) {
  fwboot_uart_set_rate(FWBOOT_RATE_START);
  s->rate = FWBOOT_RATE_START;
}

/* The first frame that came at a new rate: its CHECK is answered, and the next frame
 * within the wait keeps the rate; anything else (garbage at a rate the line does not
 * carry) ends it. */
static void answer_check(session *s) {
  if (s->kind == FWBOOT_CHECK && s->arg == fwboot_rate_baud(s->rate)) {
    ack(s->arg);
    s->checking = FRAME_AWAITED;
    s->check_ms = FWBOOT_CHECK_WAIT_MS;
    return;
  }
  back_to_start_rate(s);
  s->checking = RATE_HELD;
}

static void answer_begin(session *s) {
  uint8_t reason;
  if (s->began) {  /* its ACK was lost */
    ack(s->expected);
    return;
  }
  /* A payload shorter than 8 bytes leaves the buffer's older bytes to the size read. */
  if (!s->payload_good || s->length != fwboot_guard_header_size(s->buffer)) {
    nak(s, FWBOOT_NAK_CRC);
    return;
  }
  s->app_length = fwboot_guard_begin(s->buffer, s->length, &reason);
  if (s->app_length == 0) {
    end(s, FWBOOT_RESULT_REFUSED, reason);
    return;
  }
  if (!fwboot_flash_erase_page(fwboot_record_offset())) {
    end(s, FWBOOT_RESULT_FLASH_FAILED, FWBOOT_REASON_NONE);
    return;
  }
  s->began = s->nak_armed = 1;
  s->expected = 0;
  s->crc = s->read_back = FWBOOT_CRC32_START;
  ack(0);
}

static void answer_data(session *s) {
  uint32_t left = s->app_length - s->expected;
  uint16_t i, wanted = left < s->page ? (uint16_t)left : s->page;
  if (s->arg < s->expected) {  /* a resend after a lost ACK */
    ack(s->expected);
    return;
  }
  if (s->arg > s->expected) {
    if (s->nak_armed) nak(s, FWBOOT_NAK_LOST);
    return;
  }
  if (!s->payload_good || s->length != wanted || wanted == 0) {
    nak(s, FWBOOT_NAK_CRC);
    return;
  }
  for (i = 0; i < wanted; ++i) s->crc = fwboot_crc32_update(s->crc, s->buffer[i]);
  fwboot_guard_take(s->expected, s->buffer, wanted);
  if (!fwboot_write_page(s->buffer, s->expected, wanted)) {
    end(s, FWBOOT_RESULT_FLASH_FAILED, FWBOOT_REASON_NONE);
    return;
  }
  s->read_back = fwboot_flash_crc32(s->read_back, s->expected, wanted);
  s->expected += wanted;
  s->nak_armed = 1;
  ack(s->expected);
}

/* The record is written before the RESULT is sent: the host reports success only on it.
 * An application that is not the one signed differs, its reason the hash. */
static void answer_end(session *s) {
  uint32_t crc = fwboot_crc32_final(s->crc);
  uint8_t reason = FWBOOT_REASON_NONE, status;
  if (!s->payload_good || s->length != FWBOOT_FRAME_CRC_SIZE) {
    nak(s, FWBOOT_NAK_CRC);
  } else if (s->arg != s->expected || s->expected != s->app_length || fwboot_get_u32(s->buffer) != crc) {
    end(s, FWBOOT_RESULT_DIFFERS, FWBOOT_REASON_NONE);
  } else {
    status = fwboot_crc32_final(s->read_back) == crc &&
                     (reason = fwboot_guard_seal(s->buffer)) == FWBOOT_REASON_NONE &&
                     fwboot_write_record(s->buffer, s->expected, crc)
                 ? FWBOOT_RESULT_FLASHED
             : reason == FWBOOT_REASON_HASH ? FWBOOT_RESULT_DIFFERS
                                            : FWBOOT_RESULT_FLASH_FAILED;
    end(s, status, reason);
  }
}

/* Frames out of place (a CHECK with no rate to check, a rate change or END before or
 * after their time) get no answer. */
static void answer(session *s) {
  if (s->checking == CHECK_AWAITED) {
    answer_check(s);
    return;
  }
  s->checking = RATE_HELD;
  if (s->kind == FWBOOT_BEGIN) {
    answer_begin(s);
  } else if (!s->began) {
    if (s->kind == FWBOOT_BAUD) answer_baud(s);
  } else if (s->kind == FWBOOT_DATA) {
    answer_data(s);
  } else if (s->kind == FWBOOT_END) {
    answer_end(s);
  }
}

static fwboot_outcome serve(session *s) {
  send_caps(s);
  while (!s->over) {
    switch (receive(s)) {
      case GOT_NOTHING:
        if (s->checking == RATE_HELD) return FWBOOT_FAILED;
        back_to_start_rate(s);
        s->checking = RATE_HELD;
        break;
      case GOT_SYNC: return fwboot_converse(s->buffer);
      case GOT_PROBE: send_caps(s); break;
      case GOT_FRAME: answer(s); break;
    }
  }
  return s->outcome;
}

/* Every session ends at 9600, where the next reset begins. */
fwboot_outcome fwboot_frames(uint8_t *buffer) {
  session s;
  fwboot_outcome outcome;
  s.buffer = buffer;
  s.page = fwboot_flash_page_size();
  s.rate = FWBOOT_RATE_START;
  s.checking = RATE_HELD;
  s.began = s.over = 0;
  s.outcome = FWBOOT_FAILED;
  outcome = serve(&s);
  if (s.rate != FWBOOT_RATE_START) fwboot_uart_set_rate(FWBOOT_RATE_START);
  return outcome;
}
