// The payload block: product picture, firmware image and default texts, carried in
// the executable's initialised data so that a vendor can find the block by its tag
// and put new contents into a built program.
//
//   Payload.ProductPictureSize / ProductPicture   the picture, a complete bitmap file
//   Payload.FirmwareSize / FirmwareImage           the image sent to the device
//   Payload.TextTable                              the 26 text slots (texts/text_table.h)
//
// Integers are 32-bit little-endian. The program reads these fields and never the tags;
// the layout below is fixed, since tools patch it inside built executables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "payload/payload_layout.h"

#pragma pack(push, 1)
struct PayloadBlock {
  char Tag[payload_layout::kTagWithNulSize];  // "@DEREV#" and a NUL
  uint32_t ProductPictureSize;
  uint8_t ProductPicture[payload_layout::kPictureCapacity];
  uint32_t FirmwareSize;
  uint8_t FirmwareImage[payload_layout::kFirmwareCapacity];
  uint8_t ReservedMarks[payload_layout::kReservedMarksSize];  // 01 00 02 01 03 02 04 03
  uint8_t ReservedZero[payload_layout::kReservedZeroSize];
  char TextTag[payload_layout::kTagSize];  // "@DEREV#", no NUL: slot 0 follows at once
  char TextTable[payload_layout::kTextSlotCount][payload_layout::kTextSlotSize];
};
#pragma pack(pop)

static_assert(offsetof(PayloadBlock, Tag) == payload_layout::kTagOffset);
static_assert(offsetof(PayloadBlock, ProductPictureSize) == payload_layout::kPictureSizeOffset);
static_assert(offsetof(PayloadBlock, ProductPicture) == payload_layout::kPictureOffset);
static_assert(offsetof(PayloadBlock, FirmwareSize) == payload_layout::kFirmwareSizeOffset);
static_assert(offsetof(PayloadBlock, FirmwareImage) == payload_layout::kFirmwareOffset);
static_assert(offsetof(PayloadBlock, ReservedMarks) == payload_layout::kReservedMarksOffset);
static_assert(offsetof(PayloadBlock, ReservedZero) == payload_layout::kReservedZeroOffset);
static_assert(offsetof(PayloadBlock, TextTag) == payload_layout::kTextTagOffset);
static_assert(offsetof(PayloadBlock, TextTable) == payload_layout::kTextTableOffset);
static_assert(sizeof(PayloadBlock) == payload_layout::kBlockSize);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the block's integers are stored little-endian");

// The one block of the program. Written by nothing in the program itself.
extern PayloadBlock Payload;
