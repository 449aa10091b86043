#include "attempts/protocol_choice.h"

#include <cstring>

#include "bootloader/core/fwboot_signed.h"
#include "payload/payload_layout.h"

namespace {

constexpr char kUnsignedMagic[] = {'F', 'W', 'B', '1'};
constexpr char kSignedMagic[] = {'F', 'W', 'S', '1'};

bool StartsWith(const uint8_t* bytes, size_t size, const char (&magic)[4]) {
  return size >= sizeof magic && std::memcmp(bytes, magic, sizeof magic) == 0;
}

// The signed header's size, when it is one a header can have and short of the image's
// end, since an application follows.
bool SignedHeaderSize(const uint8_t* bytes, size_t size, uint32_t& headerSize) {
  if (size < FWBOOT_SIGNED_PREFIX_SIZE) return false;
  const uint32_t value = fwboot_signed_header_size(bytes);
  if (value == 0 || value >= size) return false;
  headerSize = value;
  return true;
}

}  // namespace

bool ParseProtocol(const std::string& text, Protocol& protocol, std::string& error) {
  if (text == "1") protocol = Protocol::One;
  else if (text == "2") protocol = Protocol::Two;
  else if (text == "auto") protocol = Protocol::Auto;
  else return error = "protocol \"" + text + "\": give 1, 2 or auto", false;
  return true;
}

bool ChooseProtocol(const std::string& text, const uint8_t* image, size_t size, Protocol& protocol,
                    std::string& error) {
  if (!text.empty()) return ParseProtocol(text, protocol, error);
  uint32_t headerSize = 0;
  protocol = ReferenceHeaderSize(image, size, headerSize) ? Protocol::Auto : Protocol::One;
  return true;
}

bool ReferenceHeaderSize(const uint8_t* bytes, size_t size, uint32_t& headerSize) {
  if (StartsWith(bytes, size, kSignedMagic)) return SignedHeaderSize(bytes, size, headerSize);
  if (!StartsWith(bytes, size, kUnsignedMagic) || size < kUnsignedHeaderSize) return false;
  headerSize = kUnsignedHeaderSize;
  return true;
}

uint32_t ImageSizeLimit(const std::vector<uint8_t>& bytes, bool fromFile) {
  uint32_t headerSize = 0;
  return fromFile && ReferenceHeaderSize(bytes.data(), bytes.size(), headerSize) ? kHeaderedImageLimit
                                                                                 : payload_layout::kFirmwareCapacity;
}
