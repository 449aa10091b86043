// The text table: 26 slots of 256 bytes, each an 8-bit text ending in a NUL. Every text
// the program sets at run time comes from here, except the echo-mismatch message.
//
//   TextSlot                 the slots' numbers, named by role
//   ReadTextSlot(slot)       the slot's text up to its NUL, as a copy
//   OverwriteTextSlot(...)   copies a text and its NUL; the bytes behind stay
//   ShowTextMessage(slot)    shows the slot in the modal message dialog, returns when closed
//
// The table is the payload block's text area, so its defaults are the executable's.
#pragma once

#include <cstddef>
#include <string>

#include "payload/payload_layout.h"

enum TextSlot : int {
  kTextLangVer = 0,
  kTextUnused1 = 1,
  kTextUnused2 = 2,
  kTextPreoperate = 3,
  kTextFlashButton = 4,
  kTextMainTitle = 5,
  kTextProgressTitle = 6,
  kTextDoneTitle = 7,
  kTextPostoperate = 8,
  kTextDoneButton = 9,
  kTextSuccessLabel = 10,
  kTextCannotInitCom1 = 11,
  kTextCannotWritePicture = 12,
  kTextSetTimeoutsError = 13,
  kTextCannotOpenPort = 14,
  kTextCannotGetParameters = 15,
  kTextCannotSetParameters = 16,
  kTextCannotWritePort = 17,
  kTextCannotReadPort = 18,
  kTextCannotSendData = 19,
  kTextAckError = 20,
  kTextNoAck5A = 21,
  kTextOrderError = 22,
  kTextCannotSendEof = 23,
  kTextUnknownCommand = 24,
  kTextNoDeviceId = 25,
};

// The slots' count and size are the payload block's.
constexpr int kTextSlotCount = static_cast<int>(payload_layout::kTextSlotCount);
constexpr size_t kTextSlotSize = payload_layout::kTextSlotSize;
constexpr size_t kTextMaxLength = kTextSlotSize - 1;

// The slot's text up to its NUL. Callers keep the copy, never a reference to the slot.
std::string ReadTextSlot(int slot);

// Copies at most 255 characters of text and a NUL into the slot; longer texts are cut.
void OverwriteTextSlot(int slot, const char* text, size_t length);

// Raw view of a slot's 256 bytes, for the checks that nothing overran it.
const char* TextSlotBytes(int slot);

void ShowTextMessage(int slot);
