// Offsets and sizes of the payload block, in bytes from its first tag. The program's
// block (payload_block.h) and the tools that read or fill a built executable share
// this one definition.
#pragma once

#include <cstddef>
#include <cstdint>

namespace payload_layout {

// The tag "@DEREV#" is 7 characters: the block starts with it and a NUL, the text table
// follows a second copy without the NUL. Its characters are spelled out only where the
// block is initialised and where a tool looks for it (payload_image.h), never here: a
// constant in a header the program includes lands in its debugging information, and
// the tag must occur in the executable at those two places only.
constexpr size_t kTagSize = 7;
constexpr size_t kTagWithNulSize = kTagSize + 1;

constexpr size_t kPictureCapacity = 80016;
constexpr size_t kFirmwareCapacity = 16388;
constexpr size_t kReservedMarksSize = 8;
constexpr uint8_t kReservedMarks[kReservedMarksSize] = {0x01, 0x00, 0x02, 0x01,
                                                        0x03, 0x02, 0x04, 0x03};
constexpr size_t kReservedZeroSize = 16376;
constexpr size_t kTextSlotCount = 26;
constexpr size_t kTextSlotSize = 256;

constexpr size_t kTagOffset = 0;
constexpr size_t kPictureSizeOffset = 8;
constexpr size_t kPictureOffset = 12;
constexpr size_t kFirmwareSizeOffset = 80028;
constexpr size_t kFirmwareOffset = 80032;
constexpr size_t kReservedMarksOffset = 96420;
constexpr size_t kReservedZeroOffset = 96428;
constexpr size_t kTextTagOffset = 112804;
constexpr size_t kTextTableOffset = 112811;
constexpr size_t kBlockSize = kTextTableOffset + kTextSlotCount * kTextSlotSize;

static_assert(kPictureOffset + kPictureCapacity == kFirmwareSizeOffset);
static_assert(kFirmwareOffset + kFirmwareCapacity == kReservedMarksOffset);
static_assert(kReservedZeroOffset + kReservedZeroSize == kTextTagOffset);
static_assert(kTextTagOffset + kTagSize == kTextTableOffset);

}  // namespace payload_layout
