// A CRC-32 as the records, the CSV, the report, the JSON events and the dashboard show
// it: "0x" and 8 upper-case hex digits.
#pragma once

#include <cstdint>
#include <string>

inline std::string Crc32Text(uint32_t crc) {
  std::string text = "0x00000000";
  for (size_t at = text.size(); crc != 0; crc >>= 4) text[--at] = "0123456789ABCDEF"[crc & 0xF];
  return text;
}
