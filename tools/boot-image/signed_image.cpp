#include "tools/boot-image/signed_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bootloader/core/fwboot_image.h"
#include "bootloader/crypto/fwboot_signed_check.h"
#include "secrets/sha256.h"
#include "signatures/image_signature.h"

namespace {

// A number of the command line that fits in limit; decimal or 0x hexadecimal, digits only.
bool ParseNumber(const std::string& text, unsigned long long limit, unsigned long long& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.size() > 10 || digits.find_first_not_of(allowed) != std::string::npos) return false;
  value = std::stoull(digits, nullptr, hex ? 16 : 10);
  return value <= limit;
}

std::string RegionText(const fwboot_region& region) {
  char text[80];
  std::snprintf(text, sizeof text, "offset %lu (0x%lx), %lu bytes", static_cast<unsigned long>(region.offset),
                static_cast<unsigned long>(region.offset), static_cast<unsigned long>(region.length));
  return text;
}

// The blank that fills the region in app: 0x00 or 0xFF; false when it holds anything else.
bool FindBlank(const std::vector<uint8_t>& app, fwboot_region& region, std::string& error) {
  const auto first = app.begin() + region.offset, last = first + region.length;
  region.blank = *first;
  const bool blankish = region.blank == 0x00 || region.blank == 0xFF;
  const auto at = blankish ? std::find_if(first, last, [&](uint8_t byte) { return byte != region.blank; }) : first;
  if (at == last) return true;
  char why[96];
  std::snprintf(why, sizeof why, ": byte %ld is 0x%02X, but a region is all 0x00 or all 0xFF when signed",
                static_cast<long>(at - app.begin()), *at);
  error = "the region at " + RegionText(region) + " is not blank" + why;
  return false;
}

std::string DescribeSigned(const std::vector<uint8_t>& image, const fwboot_signed_header& header, const PublicKey* key,
                           bool& good) {
  char line[160];
  std::string text;
  std::snprintf(line, sizeof line, "signed image (FWS1), header %lu bytes\napplication: %lu bytes\nversion: %u.%u.%u\n"
                "counter: %lu\n", static_cast<unsigned long>(header.header_size),
                static_cast<unsigned long>(header.app_length), header.version_major, header.version_minor,
                header.version_patch, static_cast<unsigned long>(header.counter));
  text = line;
  for (uint8_t i = 0; i < header.region_count; ++i) {
    std::snprintf(line, sizeof line, ", blank 0x%02X\n", header.regions[i].blank);
    text += "region: " + RegionText(header.regions[i]) + line;
  }
  text += "key id: " + HexText(header.key_id, sizeof header.key_id) + "\n";

  if (image.size() != static_cast<size_t>(header.header_size) + header.app_length) {
    return text + "image: " + std::to_string(image.size()) + " bytes, but the header says " +
           std::to_string(static_cast<size_t>(header.header_size) + header.app_length) + "\n";
  }
  good = AppHashMatches(image, header);
  text += good ? "hash: matches the application (its regions at their blank)\n"
               : "hash: does NOT match the application: changed outside its regions\n";
  if (key == nullptr) return text + "signature: not checked (no --key)\n";
  uint8_t id[FWBOOT_KEY_ID_BYTES];
  fwboot_key_id(key->data(), id);
  const KeyVerdict verdict = CheckKey(image, header, *key);
  good = good && verdict == KeyVerdict::Verifies;
  if (verdict == KeyVerdict::Verifies)
    return text + "signature: verifies with the key " + HexText(id, sizeof id) + "\n";
  if (verdict == KeyVerdict::OtherKey)
    return text + "signature: does NOT verify: signed with another key than " + HexText(id, sizeof id) + "\n";
  return text + "signature: does NOT verify with the key " + HexText(id, sizeof id) + ": the header was changed\n";
}

}  // namespace

bool ParseVersion(const std::string& text, fwboot_signed_header& header, std::string& error) {
  const size_t first = text.find('.'), second = first == std::string::npos ? first : text.find('.', first + 1);
  unsigned long long major, minor, patch;
  if (second == std::string::npos || text.find_first_not_of("0123456789.") != std::string::npos ||
      !ParseNumber(text.substr(0, first), 255, major) ||
      !ParseNumber(text.substr(first + 1, second - first - 1), 255, minor) ||
      !ParseNumber(text.substr(second + 1), 65535, patch)) {
    error = "--version " + text + ": X.Y.Z expected, X and Y up to 255, Z up to 65535";
    return false;
  }
  header.version_major = static_cast<uint8_t>(major);
  header.version_minor = static_cast<uint8_t>(minor);
  header.version_patch = static_cast<uint16_t>(patch);
  return true;
}

bool ParseRegion(const std::string& text, fwboot_region& region, std::string& error) {
  const size_t colon = text.find(':');
  unsigned long long offset, length;
  if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), 0xFFFFFFFFu, offset) ||
      !ParseNumber(text.substr(colon + 1), 0xFFFFFFFFu, length) || length == 0) {
    error = "--region " + text + ": OFFSET:LENGTH expected (from the application's first byte; LENGTH at least 1)";
    return false;
  }
  region = fwboot_region{static_cast<uint32_t>(offset), static_cast<uint32_t>(length), 0};
  return true;
}

bool PrepareHeader(const std::vector<uint8_t>& app, std::vector<fwboot_region> regions, const PublicKey& key,
                   fwboot_signed_header& header, std::string& error) {
  if (app.empty() || app.size() > 0xFFFFFFFFu - FWBOOT_SIGNED_MAX_HEADER_SIZE) {
    error = "the application has no bytes, or too many for a 32-bit length";
    return false;
  }
  if (regions.size() > FWBOOT_SIGNED_MAX_REGIONS) {
    error = std::to_string(regions.size()) + " regions, but a header holds at most " +
            std::to_string(FWBOOT_SIGNED_MAX_REGIONS);
    return false;
  }
  std::sort(regions.begin(), regions.end(), [](const fwboot_region& a, const fwboot_region& b) { return a.offset < b.offset; });
  header.app_length = static_cast<uint32_t>(app.size());
  header.region_count = static_cast<uint8_t>(regions.size());
  header.header_size = FWBOOT_SIGNED_BASE_SIZE + header.region_count * FWBOOT_SIGNED_REGION_SIZE;
  for (size_t i = 0; i < regions.size(); ++i) {
    if (regions[i].offset > app.size() || regions[i].length > app.size() - regions[i].offset) {
      error = "the region at " + RegionText(regions[i]) + " reaches past the application's " +
              std::to_string(app.size()) + " bytes";
      return false;
    }
    if (i > 0 && regions[i].offset < regions[i - 1].offset + regions[i - 1].length) {
      error = "the region at " + RegionText(regions[i]) + " overlaps the one at " + RegionText(regions[i - 1]);
      return false;
    }
    if (!FindBlank(app, regions[i], error)) return false;
    header.regions[i] = regions[i];
  }
  fwboot_sha512_state state;
  fwboot_sha512_init(&state);
  fwboot_app_hash_update(&state, &header, 0, app.data(), app.size());
  fwboot_sha512_final(&state, header.app_hash);
  fwboot_key_id(key.data(), header.key_id);
  return true;
}

std::vector<uint8_t> HeaderBytes(const fwboot_signed_header& header) {
  std::vector<uint8_t> bytes(header.header_size);
  fwboot_write_signed_header(bytes.data(), &header);
  return bytes;
}

std::vector<uint8_t> SignedBytes(const fwboot_signed_header& header) {
  std::vector<uint8_t> bytes = HeaderBytes(header);
  bytes.resize(bytes.size() - FWBOOT_SIGNATURE_BYTES);
  return bytes;
}

std::string DescribeImage(const std::vector<uint8_t>& image, const PublicKey* key, bool& good) {
  good = false;
  if (image.size() >= FWBOOT_HEADER_SIZE && fwboot_get_u32(image.data()) == FWBOOT_HEADER_MAGIC) {
    const uint32_t length = fwboot_header_app_length(image.data(), 0xFFFFFFFFu);
    good = key == nullptr && length != 0 && image.size() == FWBOOT_HEADER_SIZE + static_cast<size_t>(length);
    return "unsigned image (FWB1), header 8 bytes\napplication: " + std::to_string(length) + " bytes" +
           (key != nullptr ? "\nsignature: none, so nothing verifies\n" : "\n");
  }
  fwboot_signed_header header;
  const fwboot_signed_status status = ParseImageHeader(image, header);
  if (status != FWBOOT_SIGNED_OK) return std::string("not an image: ") + SignedStatusText(status) + "\n";
  return DescribeSigned(image, header, key, good);
}
