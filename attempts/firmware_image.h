// The image the stations send, with its CRC-32 for the records.
#pragma once

#include <cstdint>
#include <vector>

struct FirmwareImage {
  std::vector<uint8_t> bytes;
  uint32_t crc32 = 0;
};
