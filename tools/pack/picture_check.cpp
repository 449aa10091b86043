// These checks must accept exactly what the program's bitmap loader accepts: a picture
// that passes here is what the main window will show. They stand in until the tool
// uses the loader's own validation.
#include "tools/pack/picture_check.h"

#include <cstdlib>

#include "payload/payload_layout.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;  // the old header: 16-bit sizes, 3-byte colours
constexpr uint32_t kUncompressed = 0, kBitFields = 3;

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

bool KnownHeaderSize(uint32_t size) {
  return size == kCoreHeaderSize || size == 40 || size == 108 || size == 124;
}

bool Fail(std::string& error, const std::string& reason) {
  error = reason;
  return false;
}

}  // namespace

bool PictureDimensions(const std::vector<uint8_t>& bytes, int64_t& width, int64_t& height) {
  if (bytes.size() < kFileHeaderSize + 4 || !KnownHeaderSize(Le32(bytes, 14))) return false;
  bool core = Le32(bytes, 14) == kCoreHeaderSize;
  if (bytes.size() < kFileHeaderSize + (core ? kCoreHeaderSize : 16)) return false;
  width = core ? Le16(bytes, 18) : static_cast<int32_t>(Le32(bytes, 18));
  height = core ? Le16(bytes, 20) : static_cast<int32_t>(Le32(bytes, 22));
  return true;
}

bool CheckPictureBytes(const std::vector<uint8_t>& bytes, std::string& error) {
  if (bytes.size() > payload_layout::kPictureCapacity)
    return Fail(error, "is " + std::to_string(bytes.size()) + " bytes, more than the " +
                           std::to_string(payload_layout::kPictureCapacity) + " bytes of the picture's room");
  if (bytes.size() < kFileHeaderSize + kCoreHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
    return Fail(error, "is not a bitmap file (no \"BM\" header)");
  if (Le32(bytes, 2) != bytes.size())
    return Fail(error, "is damaged: its header gives " + std::to_string(Le32(bytes, 2)) +
                           " bytes, the file has " + std::to_string(bytes.size()));
  uint32_t header_size = Le32(bytes, 14);
  if (!KnownHeaderSize(header_size) || kFileHeaderSize + header_size > bytes.size())
    return Fail(error, "has an unknown or cut bitmap header");
  bool core = header_size == kCoreHeaderSize;
  int64_t width = 0, height = 0;
  PictureDimensions(bytes, width, height);
  uint32_t planes = Le16(bytes, core ? 22 : 26), bits = Le16(bytes, core ? 24 : 28);
  uint32_t compression = core ? kUncompressed : Le32(bytes, 30);
  if (width <= 0 || height == 0 || planes != 1)
    return Fail(error, "has an invalid size or plane count");
  bool packed = bits == 1 || bits == 4 || bits == 8 || bits == 24;
  bool wide = !core && (bits == 16 || bits == 32);
  if (!packed && !wide) return Fail(error, "has an unsupported " + std::to_string(bits) + "-bit depth");
  if (compression != kUncompressed && !(compression == kBitFields && wide))
    return Fail(error, "is compressed, which the program's bitmap loader does not read");

  uint64_t colours = 0;
  if (bits <= 8) {
    uint32_t used = core ? 0 : Le32(bytes, 46);
    colours = used == 0 ? (1u << bits) : used;
    if (colours > (1u << bits)) return Fail(error, "has more palette colours than its depth allows");
  }
  uint64_t masks = (compression == kBitFields && header_size == 40) ? 12 : 0;
  uint64_t palette_end = kFileHeaderSize + header_size + masks + colours * (core ? 3 : 4);
  uint64_t pixels = Le32(bytes, 10);
  uint64_t row_bytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  uint64_t rows = static_cast<uint64_t>(std::llabs(height));
  if (pixels < palette_end || pixels + row_bytes * rows > bytes.size())
    return Fail(error, "is damaged: its palette or pixel rows run past the end of the file");
  return true;
}
