// The image the stations send, with its CRC-32 for the records, and the conversation
// it goes in (attempts/protocol_choice.h).
#pragma once

#include <cstdint>
#include <vector>

#include "attempts/protocol_choice.h"

struct FirmwareImage {
  std::vector<uint8_t> bytes;
  uint32_t crc32 = 0;
  Protocol protocol = Protocol::One;
  uint32_t maxBaud = kDefaultMaxBaud;  // the highest rate protocol 2 may propose
};
