#include "toolkit/bitmap_file.h"

#include <algorithm>

const char* const kBitmapNotValid = "Bitmap image is not valid";
const char* const kStreamReadError = "Stream read error";

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCompressionNone = 0, kCompressionBitFields = 3;
constexpr uint32_t kCoreHeaderSize = 12;
// Larger than any picture this program shows; keeps a forged header from asking for
// gigabytes before the data is seen to be missing.
constexpr int64_t kMaxSide = 32768;

uint32_t Read16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// One colour channel given by a bit-field mask, scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    while (!(m & 1)) m >>= 1, ++shift;
    while (m & 1) m >>= 1, ++bits;
  }
  uint8_t Of(uint32_t pixel) const {
    if (bits == 0) return 0;
    uint32_t value = (pixel & mask) >> shift, top = (1u << bits) - 1;
    return static_cast<uint8_t>(value * 255 / top);
  }
};

struct Layout {
  int64_t width = 0, height = 0;  // height positive; topDown says the row order
  bool topDown = false;
  int bitsPerPixel = 0;
  std::vector<uint8_t> palette;  // RGB triples
  Channel red, green, blue;
  size_t pixelOffset = 0, rowBytes = 0;
};

// Reads the headers and palette; "" or the text the bitmap is refused with.
std::string ReadLayout(const std::vector<uint8_t>& b, Layout& l) {
  if (b.size() < kFileHeaderSize + 4) return kStreamReadError;
  if (b[0] != 'B' || b[1] != 'M') return kBitmapNotValid;
  const uint32_t headerSize = Read32(b, kFileHeaderSize);
  if (headerSize != kCoreHeaderSize && headerSize != 40 && headerSize != 108 && headerSize != 124)
    return kBitmapNotValid;
  if (b.size() < kFileHeaderSize + headerSize) return kStreamReadError;
  const size_t h = kFileHeaderSize;
  uint32_t compression = kCompressionNone, colorsUsed = 0;
  size_t paletteEntry = 4;
  if (headerSize == kCoreHeaderSize) {
    l.width = Read16(b, h + 4);
    l.height = static_cast<int16_t>(Read16(b, h + 6));
    if (Read16(b, h + 8) != 1) return kBitmapNotValid;
    l.bitsPerPixel = Read16(b, h + 10);
    paletteEntry = 3;
  } else {
    l.width = static_cast<int32_t>(Read32(b, h + 4));
    l.height = static_cast<int32_t>(Read32(b, h + 8));
    if (Read16(b, h + 12) != 1) return kBitmapNotValid;
    l.bitsPerPixel = Read16(b, h + 14);
    compression = Read32(b, h + 16);
    colorsUsed = Read32(b, h + 32);
  }
  l.topDown = l.height < 0;
  l.height = l.topDown ? -l.height : l.height;
  if (l.width <= 0 || l.height <= 0 || l.width > kMaxSide || l.height > kMaxSide) return kBitmapNotValid;
  const int bpp = l.bitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return kBitmapNotValid;

  size_t next = h + headerSize;
  if (compression == kCompressionBitFields) {
    if (bpp != 16 && bpp != 32) return kBitmapNotValid;
    size_t masksAt = h + 40;
    if (headerSize == 40) next += 12;  // the three masks follow the short header
    if (b.size() < masksAt + 12) return kStreamReadError;
    l.red = Channel(Read32(b, masksAt));
    l.green = Channel(Read32(b, masksAt + 4));
    l.blue = Channel(Read32(b, masksAt + 8));
  } else if (compression != kCompressionNone) {
    return kBitmapNotValid;  // run-length and embedded formats are not read
  } else if (bpp == 16) {
    l.red = Channel(0x7C00), l.green = Channel(0x03E0), l.blue = Channel(0x001F);
  } else if (bpp == 32) {
    l.red = Channel(0xFF0000), l.green = Channel(0xFF00), l.blue = Channel(0xFF);
  }

  if (bpp <= 8) {
    const uint32_t maxColors = 1u << bpp;
    if (colorsUsed > maxColors) return kBitmapNotValid;
    const size_t colors = colorsUsed ? colorsUsed : maxColors;
    if (b.size() < next + colors * paletteEntry) return kStreamReadError;
    for (size_t i = 0; i < colors; ++i) {
      const size_t at = next + i * paletteEntry;
      l.palette.insert(l.palette.end(), {b[at + 2], b[at + 1], b[at]});
    }
    next += colors * paletteEntry;
  }

  const uint32_t offset = Read32(b, 10);
  if (offset < next) return kBitmapNotValid;  // pixels would overlap the header or palette
  l.pixelOffset = offset;
  const int64_t rowBytes = (l.width * bpp + 31) / 32 * 4;
  l.rowBytes = static_cast<size_t>(rowBytes);
  // The last row needs only its pixels, not its padding: some writers leave that out.
  // Counted in 64 bits: the largest sides claim 4 GiB, which a 32-bit size wraps to 0.
  const int64_t needed = rowBytes * (l.height - 1) + (l.width * bpp + 7) / 8;
  if (offset > b.size() || static_cast<uint64_t>(b.size() - offset) < static_cast<uint64_t>(needed))
    return kStreamReadError;
  return "";
}

void DecodeRow(const std::vector<uint8_t>& b, const Layout& l, size_t at, uint8_t* out) {
  const int bpp = l.bitsPerPixel;
  for (int64_t x = 0; x < l.width; ++x, out += 3) {
    if (bpp <= 8) {
      const size_t bit = static_cast<size_t>(x) * bpp;
      const unsigned index = (b[at + bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
      if (index * 3 < l.palette.size()) std::copy_n(&l.palette[index * 3], 3, out);
      else out[0] = out[1] = out[2] = 0;  // an index past the palette shows black
    } else if (bpp == 24) {
      const size_t p = at + x * 3;
      out[0] = b[p + 2], out[1] = b[p + 1], out[2] = b[p];
    } else {
      const uint32_t pixel = bpp == 16 ? Read16(b, at + x * 2) : Read32(b, at + x * 4);
      out[0] = l.red.Of(pixel), out[1] = l.green.Of(pixel), out[2] = l.blue.Of(pixel);
    }
  }
}

}  // namespace

std::string CheckBitmap(const std::vector<uint8_t>& bytes) {
  Layout layout;
  return ReadLayout(bytes, layout);
}

std::string DecodeBitmap(const std::vector<uint8_t>& bytes, BitmapPixels& pixels) {
  Layout l;
  std::string error = ReadLayout(bytes, l);
  if (!error.empty()) return error;
  pixels.width = static_cast<int>(l.width);
  pixels.height = static_cast<int>(l.height);
  pixels.rgb.assign(static_cast<size_t>(l.width * l.height * 3), 0);
  for (int64_t y = 0; y < l.height; ++y) {
    const int64_t stored = l.topDown ? y : l.height - 1 - y;
    DecodeRow(bytes, l, l.pixelOffset + stored * l.rowBytes, &pixels.rgb[y * l.width * 3]);
  }
  return "";
}
