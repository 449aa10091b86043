#define _CRT_RAND_S  // rand_s, the system's cryptographic source: before any header has stdlib.h
#include <stdlib.h>

#include "records/random_bytes.h"

void RandomBytes(uint8_t (&bytes)[16]) {
  for (size_t i = 0; i < sizeof bytes; i += 4) {
    unsigned int value = 0;
    rand_s(&value);
    for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
  }
}
