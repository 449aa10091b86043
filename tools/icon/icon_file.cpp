#include "tools/icon/icon_file.h"

#include <cstddef>

namespace {

constexpr int kBitsPerPixel = 4;
constexpr int kColours = 16;
constexpr size_t kDirectorySize = 6, kEntrySize = 16, kHeaderSize = 40;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// The palette index of a pixel, or -1 for a transparent one.
int PixelIndex(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

// Rows of a bitmap are padded to whole 32-bit words.
size_t RowBytes(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

size_t ImageSize(int side) {
  return kHeaderSize + 4 * kColours + (RowBytes(side, kBitsPerPixel) + RowBytes(side, 1)) * side;
}

// One image: header, palette, colour rows, then the mask (a set bit lets the screen show
// through). Both sets of rows run bottom-up; the header counts both in its height.
void PutImage(std::vector<uint8_t>& out, const IconDescription& icon, const char* const* rows,
              int side) {
  Put32(out, kHeaderSize);
  Put32(out, side);
  Put32(out, 2 * side);
  Put16(out, 1);
  Put16(out, kBitsPerPixel);
  Put32(out, 0);  // uncompressed
  Put32(out, ImageSize(side) - kHeaderSize - 4 * kColours);
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution and colour counts: defaults
  for (uint32_t rgb : icon.palette) {
    out.push_back(rgb & 0xFF);
    out.push_back((rgb >> 8) & 0xFF);
    out.push_back((rgb >> 16) & 0xFF);
    out.push_back(0);
  }
  for (int y = side - 1; y >= 0; --y) {
    std::vector<uint8_t> row(RowBytes(side, kBitsPerPixel));
    for (int x = 0; x < side; ++x) {
      int index = PixelIndex(rows[y][x]);
      if (index > 0) row[x / 2] |= x % 2 == 0 ? index << 4 : index;
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = side - 1; y >= 0; --y) {
    std::vector<uint8_t> row(RowBytes(side, 1));
    for (int x = 0; x < side; ++x)
      if (PixelIndex(rows[y][x]) < 0) row[x / 8] |= 0x80 >> (x % 8);
    out.insert(out.end(), row.begin(), row.end());
  }
}

}  // namespace

std::vector<uint8_t> IconFileBytes(const IconDescription& icon) {
  const struct {
    const char* const* rows;
    int side;
  } images[] = {{icon.rows32, 32}, {icon.rows16, 16}};
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, 2);
  size_t offset = kDirectorySize + 2 * kEntrySize;
  for (const auto& image : images) {
    out.push_back(image.side);
    out.push_back(image.side);
    out.push_back(kColours);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, kBitsPerPixel);
    Put32(out, ImageSize(image.side));
    Put32(out, offset);
    offset += ImageSize(image.side);
  }
  for (const auto& image : images) PutImage(out, icon, image.rows, image.side);
  return out;
}
