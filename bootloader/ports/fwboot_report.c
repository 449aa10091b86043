#include "bootloader/ports/fwboot_report.h"

static char *append(char *at, const char *text) {
  while (*text) *at++ = *text++;
  return at;
}

static char *append_decimal(char *at, uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *at++ = digits[--n];
  return at;
}

static char *append_hex(char *at, uint32_t value) {
  int shift;
  for (shift = 28; shift >= 0; shift -= 4) *at++ = "0123456789ABCDEF"[(value >> shift) & 15u];
  return at;
}

/* The fields of the state, without the closing brace. */
static char *append_state(char *at, const fwboot_state *state) {
  if (!state->valid) return append(at, "{\"valid\":false");
  at = append(at, "{\"valid\":true,\"length\":");
  at = append_decimal(at, state->length);
  at = append(at, ",\"crc32\":\"0x");
  at = append_hex(at, state->crc32);
  return append(at, "\"");
}

void fwboot_state_text(const fwboot_state *state, char *text) {
  char *at = append(append_state(text, state), "}");
  *at = '\0';
}

void fwboot_keyed_state_text(const fwboot_state *state, uint32_t version, uint32_t counter, char *text) {
  char *at = append_state(text, state);
  if (state->valid) {
    at = append(at, ",\"version\":\"");
    at = append_decimal(at, version & 0xFFu);
    at = append(at, ".");
    at = append_decimal(at, version >> 8 & 0xFFu);
    at = append(at, ".");
    at = append_decimal(at, version >> 16);
    at = append(at, "\"");
  }
  at = append(at, ",\"counter\":");
  at = append_decimal(at, counter);
  at = append(at, "}");
  *at = '\0';
}

void fwboot_power_cut_text(uint32_t operations, char *text) {
  char *at = append(append_decimal(append(text, "{\"power\":\"cut\",\"operations\":"), operations), "}");
  *at = '\0';
}
