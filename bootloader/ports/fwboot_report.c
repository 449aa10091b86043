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

void fwboot_state_text(const fwboot_state *state, char *text) {
  char *at = text;
  if (!state->valid) {
    at = append(at, "{\"valid\":false}");
  } else {
    at = append(at, "{\"valid\":true,\"length\":");
    at = append_decimal(at, state->length);
    at = append(at, ",\"crc32\":\"0x");
    at = append_hex(at, state->crc32);
    at = append(at, "\"}");
  }
  *at = '\0';
}
