#include "texts/text_table.h"

#include <cassert>
#include <cstring>

#include "toolkit/message_dialog.h"
#include "payload/payload_block.h"

std::string ReadTextSlot(int slot) {
  assert(slot >= 0 && slot < kTextSlotCount);
  const char* text = Payload.TextTable[slot];
  return std::string(text, strnlen(text, kTextSlotSize));
}

void OverwriteTextSlot(int slot, const char* text, size_t length) {
  assert(slot >= 0 && slot < kTextSlotCount);
  if (length > kTextMaxLength) length = kTextMaxLength;
  memcpy(Payload.TextTable[slot], text, length);
  Payload.TextTable[slot][length] = '\0';
}

const char* TextSlotBytes(int slot) {
  assert(slot >= 0 && slot < kTextSlotCount);
  return Payload.TextTable[slot];
}

void ShowTextMessage(int slot) { ShowMessageDialog(ReadTextSlot(slot)); }
