// A picture is stored only when the program will show it: the checks below add to the
// program's own bitmap loader only what the block itself needs.
#include "tools/pack/picture_check.h"

#include "toolkit/bitmap_file.h"
#include "payload/payload_layout.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

bool Fail(std::string& error, const std::string& reason) {
  error = reason;
  return false;
}

}  // namespace

bool PictureDimensions(const std::vector<uint8_t>& bytes, int64_t& width, int64_t& height) {
  BitmapPixels pixels;
  if (!DecodeBitmap(bytes, pixels).empty()) return false;
  width = pixels.width;
  height = pixels.height;
  return true;
}

bool CheckPictureBytes(const std::vector<uint8_t>& bytes, std::string& error) {
  if (bytes.size() > payload_layout::kPictureCapacity)
    return Fail(error, "is " + std::to_string(bytes.size()) + " bytes, more than the " +
                           std::to_string(payload_layout::kPictureCapacity) +
                           " bytes of the picture's room");
  if (bytes.size() < 6 || bytes[0] != 'B' || bytes[1] != 'M')
    return Fail(error, "is not a bitmap file (no \"BM\" header)");
  if (Le32(bytes, 2) != bytes.size())
    return Fail(error, "is damaged: its header gives " + std::to_string(Le32(bytes, 2)) +
                           " bytes, the file has " + std::to_string(bytes.size()));
  std::string loader = CheckBitmap(bytes);
  if (!loader.empty()) return Fail(error, "is refused by the program's bitmap loader: " + loader);
  return true;
}
