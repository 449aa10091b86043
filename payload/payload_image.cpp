#include "payload/payload_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace payload_layout;

bool PayloadImage::Locate(std::vector<uint8_t> bytes, const std::string& tag, std::string& error) {
  if (tag.size() != kTagSize) {
    error = "a payload tag has " + std::to_string(kTagSize) + " characters";
    return false;
  }
  bytes_ = std::move(bytes);
  size_t blocks = 0;
  for (size_t at = 0; at + kBlockSize <= bytes_.size(); ++at) {
    const uint8_t* here = bytes_.data() + at;
    if (here[0] != tag[0] || std::memcmp(here, tag.c_str(), kTagWithNulSize) != 0) continue;
    if (std::memcmp(here + kTextTagOffset, tag.data(), kTagSize) != 0) continue;
    block_ = at;
    ++blocks;
  }
  if (blocks == 0) {
    error = "no payload block: the tag \"" + tag + "\" is missing";
    return false;
  }
  if (blocks > 1) {
    error = "the tag \"" + tag + "\" marks " + std::to_string(blocks) + " payload blocks, expected one";
    return false;
  }
  if (ReadSize(kPictureSizeOffset) > kPictureCapacity || ReadSize(kFirmwareSizeOffset) > kFirmwareCapacity) {
    error = "damaged payload block: a size field exceeds its room";
    return false;
  }
  return true;
}

std::vector<uint8_t> PayloadImage::Picture() const {
  const uint8_t* start = Field(kPictureOffset);
  return std::vector<uint8_t>(start, start + ReadSize(kPictureSizeOffset));
}

std::vector<uint8_t> PayloadImage::Firmware() const {
  const uint8_t* start = Field(kFirmwareOffset);
  return std::vector<uint8_t>(start, start + ReadSize(kFirmwareSizeOffset));
}

std::string PayloadImage::Text(size_t slot) const {
  const char* start = reinterpret_cast<const char*>(Field(kTextTableOffset + slot * kTextSlotSize));
  return std::string(start, strnlen(start, kTextSlotSize));
}

void PayloadImage::SetPicture(const std::vector<uint8_t>& picture) {
  StoreArea(kPictureSizeOffset, kPictureOffset, kPictureCapacity, picture);
}

void PayloadImage::SetFirmware(const std::vector<uint8_t>& firmware) {
  StoreArea(kFirmwareSizeOffset, kFirmwareOffset, kFirmwareCapacity, firmware);
}

void PayloadImage::SetText(size_t slot, const std::string& text) {
  uint8_t* start = Field(kTextTableOffset + slot * kTextSlotSize);
  std::memset(start, 0, kTextSlotSize);
  std::memcpy(start, text.data(), text.size());
}

uint32_t PayloadImage::ReadSize(size_t offset) const {
  const uint8_t* p = Field(offset);
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PayloadImage::StoreArea(size_t size_offset, size_t area_offset, size_t capacity,
                             const std::vector<uint8_t>& contents) {
  uint8_t* size = Field(size_offset);
  uint32_t length = static_cast<uint32_t>(contents.size());
  for (int i = 0; i < 4; ++i) size[i] = static_cast<uint8_t>(length >> (8 * i));
  uint8_t* area = Field(area_offset);
  std::memset(area, 0, capacity);
  if (!contents.empty()) std::memcpy(area, contents.data(), contents.size());
}
