#include "signatures/image_signature.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bootloader/crypto/fwboot_signed_check.h"
#include "secrets/sha256.h"

fwboot_signed_status ParseImageHeader(const std::vector<uint8_t>& image, fwboot_signed_header& header) {
  const uint32_t available = static_cast<uint32_t>(std::min<size_t>(image.size(), 0xFFFFFFFFu));
  return fwboot_parse_signed_header(image.data(), available, 0xFFFFFFFFu, &header);
}

const char* SignedStatusText(fwboot_signed_status status) {
  switch (status) {
    case FWBOOT_SIGNED_OK: return "a signed header";
    case FWBOOT_SIGNED_NOT_SIGNED: return "not an image of the reference bootloader (another magic)";
    case FWBOOT_SIGNED_BAD_SIZE: return "a header cut short, or a header size that no header has";
    case FWBOOT_SIGNED_BAD_LENGTH: return "a header whose application is empty";
    case FWBOOT_SIGNED_BAD_REGION:
      return "a region that is empty, reaches past the application, overlaps another or has a blank "
             "other than 0x00 and 0xFF";
    case FWBOOT_SIGNED_BAD_RESERVED: return "a header whose reserved bytes are not zero";
  }
  return "an unknown header";
}

bool AppHashMatches(const std::vector<uint8_t>& image, const fwboot_signed_header& header) {
  if (image.size() != static_cast<size_t>(header.header_size) + header.app_length) return false;
  fwboot_sha512_state state;
  uint8_t digest[FWBOOT_SHA512_BYTES];
  fwboot_sha512_init(&state);
  fwboot_app_hash_update(&state, &header, 0, image.data() + header.header_size, header.app_length);
  fwboot_sha512_final(&state, digest);
  return std::memcmp(digest, header.app_hash, sizeof digest) == 0;
}

KeyVerdict CheckKey(const std::vector<uint8_t>& image, const fwboot_signed_header& header, const PublicKey& key) {
  if (fwboot_signed_header_verifies(image.data(), &header, key.data()) == 1) return KeyVerdict::Verifies;
  uint8_t id[FWBOOT_KEY_ID_BYTES];
  fwboot_key_id(key.data(), id);
  return std::memcmp(id, header.key_id, sizeof id) != 0 ? KeyVerdict::OtherKey : KeyVerdict::BadSignature;
}

bool InsideRegion(const fwboot_signed_header& header, uint64_t at, uint64_t width) {
  for (uint8_t i = 0; i < header.region_count; ++i) {
    const fwboot_region& region = header.regions[i];
    if (at >= region.offset && width <= region.length && at - region.offset <= region.length - width) return true;
  }
  return false;
}

std::string RegionList(const fwboot_signed_header& header) {
  std::string text;
  for (uint8_t i = 0; i < header.region_count; ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(header.regions[i].offset) + ":" +
            std::to_string(header.regions[i].length);
  }
  return text.empty() ? "none" : text;
}

bool CheckImageSignature(const std::vector<uint8_t>& image, const std::string& keyPath, std::string& error) {
  PublicKey key;
  if (!ReadPublicKey(keyPath, key, error)) return false;
  fwboot_signed_header header;
  const fwboot_signed_status status = ParseImageHeader(image, header);
  if (status == FWBOOT_SIGNED_NOT_SIGNED) {
    error = "the image is not signed, but --key " + keyPath + " takes only images signed with that key";
    return false;
  }
  if (status != FWBOOT_SIGNED_OK) {
    error = std::string("the image's signed header is bad: ") + SignedStatusText(status);
    return false;
  }
  uint8_t id[FWBOOT_KEY_ID_BYTES];
  fwboot_key_id(key.data(), id);
  switch (CheckKey(image, header, key)) {
    case KeyVerdict::OtherKey:
      error = "the image is signed by another key (key id " + HexText(header.key_id, sizeof header.key_id) +
              ") than " + keyPath + " (key id " + HexText(id, sizeof id) + ")";
      return false;
    case KeyVerdict::BadSignature:
      error = "the image's signature does not verify with " + keyPath + ": its header was changed after signing";
      return false;
    case KeyVerdict::Verifies: break;
  }
  if (!AppHashMatches(image, header)) {
    error = "the image's application does not match its signed hash: it was changed outside its regions, "
            "or cut short, after signing";
    return false;
  }
  return true;
}
