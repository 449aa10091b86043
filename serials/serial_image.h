// Where a serial number goes in the firmware image, checked once before anything is
// sent, and each device's image with its own number in it.
//
//   SerialPlacement                       the offset and the format
//   CheckPlacement(image, p, overwrite, error)
//                                         false with a reason when the number does not
//                                         fit in the image, or when the placeholder bytes
//                                         are not blank (all 0x00 or all 0xFF) and
//                                         overwrite was not asked for: a wrong offset
//                                         would otherwise write over code
//   StampSerial(base, p, number)          the base image with the number at the offset
//                                         and every other byte unchanged
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serials/serial_format.h"

struct SerialPlacement {
  uint64_t offset = 0;
  SerialFormat format;
};

bool CheckPlacement(const std::vector<uint8_t>& image, const SerialPlacement& placement,
                    bool overwrite, std::string& error);
std::vector<uint8_t> StampSerial(const std::vector<uint8_t>& base, const SerialPlacement& placement,
                                 int64_t number);
