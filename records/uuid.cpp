#ifdef _WIN32
#define _CRT_RAND_S  // rand_s, the system's cryptographic source: before any header has stdlib.h
#include <stdlib.h>
#endif

#include "records/uuid.h"

#include <cstdint>
#include <cstdio>

#ifndef _WIN32
#include <cerrno>
#include <sys/random.h>
#endif

namespace {

#ifdef _WIN32
void RandomBytes(uint8_t (&bytes)[16]) {
  for (size_t i = 0; i < sizeof bytes; i += 4) {
    unsigned int value = 0;
    rand_s(&value);
    for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
  }
}
#else
// getrandom reads /dev/urandom's pool and blocks only before it was ever seeded at boot.
void RandomBytes(uint8_t (&bytes)[16]) {
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
    else if (errno != EINTR) break;
  }
  if (got == sizeof bytes) return;
  if (FILE* urandom = std::fopen("/dev/urandom", "rb")) {
    got += std::fread(bytes + got, 1, sizeof bytes - got, urandom);
    std::fclose(urandom);
  }
}
#endif

}  // namespace

std::string NewUuidV4() {
  uint8_t bytes[16] = {};
  RandomBytes(bytes);
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7],
                bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}
