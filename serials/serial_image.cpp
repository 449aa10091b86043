#include "serials/serial_image.h"

#include <algorithm>

bool CheckPlacement(const std::vector<uint8_t>& image, const SerialPlacement& placement,
                    bool overwrite, std::string& error) {
  const uint64_t width = placement.format.width;
  if (placement.offset > image.size() || width > image.size() - placement.offset) {
    error = "the serial number (" + std::to_string(width) + " bytes at offset " +
            std::to_string(placement.offset) + ") does not fit in the " +
            std::to_string(image.size()) + "-byte image";
    return false;
  }
  const auto first = image.begin() + static_cast<std::ptrdiff_t>(placement.offset);
  const auto last = first + static_cast<std::ptrdiff_t>(width);
  const bool blank = std::all_of(first, last, [](uint8_t b) { return b == 0x00; }) ||
                     std::all_of(first, last, [](uint8_t b) { return b == 0xFF; });
  if (!blank && !overwrite) {
    error = "the image's bytes at offset " + std::to_string(placement.offset) +
            " are not a blank placeholder (all 0x00 or all 0xFF); check --serial-at, or "
            "give --serial-overwrite to write over them on purpose";
    return false;
  }
  return true;
}

std::vector<uint8_t> StampSerial(const std::vector<uint8_t>& base, const SerialPlacement& placement,
                                 int64_t number) {
  std::vector<uint8_t> image = base;
  const std::vector<uint8_t> bytes = RenderSerial(placement.format, number);
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(placement.offset));
  return image;
}
