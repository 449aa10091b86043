#include <cstdint>
#include <vector>

#include "tests/toolkit/sample_form.h"

namespace {

uint32_t PaletteEntry(int index) { return static_cast<uint32_t>((index * 16 & 0xFF) << 16 | (255 - index) << 8 | index * 7); }

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(v & 0xFF), b.push_back(v >> 8 & 0xFF); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

}  // namespace

uint32_t ExpectedPixel(int x, int y, int bpp) {
  if (bpp <= 8) return PaletteEntry((x + 2 * y) % (1 << bpp));
  return static_cast<uint32_t>((x * 5 & 0xFF) << 16 | (y * 3 & 0xFF) << 8 | ((x + y) & 0xFF));
}

std::vector<uint8_t> MakeBitmap(int width, int height, int bpp, bool topDown) {
  const int colors = bpp <= 8 ? 1 << bpp : 0;
  const uint32_t rowBytes = (width * bpp + 31) / 32 * 4;
  const uint32_t offset = 14 + 40 + colors * 4, size = offset + rowBytes * height;
  std::vector<uint8_t> b{'B', 'M'};
  Put32(b, size), Put32(b, 0), Put32(b, offset);
  Put32(b, 40), Put32(b, width), Put32(b, topDown ? -height : height), Put16(b, 1), Put16(b, bpp);
  Put32(b, 0), Put32(b, rowBytes * height), Put32(b, 3780), Put32(b, 3780), Put32(b, 0), Put32(b, 0);
  for (int i = 0; i < colors; ++i) Put32(b, PaletteEntry(i));
  for (int row = 0; row < height; ++row) {
    const int y = topDown ? row : height - 1 - row;
    std::vector<uint8_t> bytes(rowBytes, 0);
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = ExpectedPixel(x, y, bpp);
      if (bpp <= 8) {
        const int index = (x + 2 * y) % colors, bit = x * bpp;
        bytes[bit / 8] |= static_cast<uint8_t>(index << (8 - bpp - bit % 8));
      } else {
        uint8_t* p = &bytes[x * bpp / 8];
        p[0] = rgb & 0xFF, p[1] = rgb >> 8 & 0xFF, p[2] = rgb >> 16 & 0xFF;
      }
    }
    b.insert(b.end(), bytes.begin(), bytes.end());
  }
  return b;
}
