#include "attempts/protocol_choice.h"

#include <cstring>

#include "payload/payload_layout.h"

namespace {

constexpr char kReferenceMagic[] = {'F', 'W', 'B', '1'};

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
  protocol = HasReferenceHeader(image, size) ? Protocol::Auto : Protocol::One;
  return true;
}

bool HasReferenceHeader(const uint8_t* bytes, size_t size) {
  return size >= sizeof kReferenceMagic && std::memcmp(bytes, kReferenceMagic, sizeof kReferenceMagic) == 0;
}

uint32_t ImageSizeLimit(const std::vector<uint8_t>& bytes, bool fromFile) {
  return fromFile && HasReferenceHeader(bytes.data(), bytes.size()) ? kHeaderedImageLimit
                                                                    : payload_layout::kFirmwareCapacity;
}
