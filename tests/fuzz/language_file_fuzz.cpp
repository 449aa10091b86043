// Fuzzes the language-file reader: whatever the file holds, every slot still ends in a
// NUL inside its 256 bytes, no text is longer than a line read allows, and no slot after
// the lines read changes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "texts/language_file.h"
#include "texts/language_line_reader.h"
#include "texts/text_table.h"

namespace {

// Each slot starts full of its own letter, so any write to it shows.
void FillSlots() {
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    std::vector<char> letters(kTextMaxLength, static_cast<char>('A' + slot));
    OverwriteTextSlot(slot, letters.data(), letters.size());
  }
}

bool SlotUntouched(int slot) {
  const char* bytes = TextSlotBytes(slot);
  for (size_t i = 0; i < kTextMaxLength; ++i)
    if (bytes[i] != 'A' + slot) return false;
  return bytes[kTextMaxLength] == '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FillSlots();
  std::vector<char> contents(data, data + size);
  contents.push_back('\0');  // fmemopen wants room; the file is only `size` bytes long
  FILE* file = fmemopen(contents.data(), size == 0 ? 1 : size, "r");
  if (file == nullptr) __builtin_trap();
  if (size == 0) std::fgetc(file);  // an empty file: nothing left to read
  int lines = ReadLanguageLines(file);
  std::fclose(file);

  if (lines < 0 || lines > kTextSlotCount) __builtin_trap();
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    const char* bytes = TextSlotBytes(slot);
    const void* nul = std::memchr(bytes, '\0', kTextSlotSize);
    if (nul == nullptr) __builtin_trap();
    if (static_cast<const char*>(nul) - bytes > static_cast<long>(kLanguageLineMax) && slot < lines)
      __builtin_trap();
    if (slot >= lines && !SlotUntouched(slot)) __builtin_trap();
  }
  return 0;
}
