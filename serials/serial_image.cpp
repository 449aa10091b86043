#include "serials/serial_image.h"

#include <algorithm>

Placeholder CheckPlaceholder(const std::vector<uint8_t>& image, uint64_t offset, uint64_t width) {
  if (offset > image.size() || width > image.size() - offset) return Placeholder::Outside;
  const auto first = image.begin() + static_cast<std::ptrdiff_t>(offset);
  const auto last = first + static_cast<std::ptrdiff_t>(width);
  const bool blank = std::all_of(first, last, [](uint8_t b) { return b == 0x00; }) ||
                     std::all_of(first, last, [](uint8_t b) { return b == 0xFF; });
  return blank ? Placeholder::Blank : Placeholder::NotBlank;
}
