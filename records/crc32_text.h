// A CRC-32 as the records, the CSV, the report, the JSON events and the dashboard show
// it: "0x" and 8 upper-case hex digits.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string Crc32Text(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(crc));
  return text;
}
