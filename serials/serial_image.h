// Where a value goes in the firmware image (a serial number or a job's field), checked
// once before anything is sent.
//
//   SerialPlacement                           a serial number's offset and format
//   CheckPlaceholder(image, offset, width)    Blank when the bytes lie inside the image
//                                             and are all 0x00 or all 0xFF; Outside when
//                                             they do not fit (an end that would wrap
//                                             around included); NotBlank otherwise: a
//                                             wrong offset would write over code
#pragma once

#include <cstdint>
#include <vector>

#include "serials/serial_format.h"

struct SerialPlacement {
  uint64_t offset = 0;
  SerialFormat format;
};

enum class Placeholder { Blank, Outside, NotBlank };

Placeholder CheckPlaceholder(const std::vector<uint8_t>& image, uint64_t offset, uint64_t width);
