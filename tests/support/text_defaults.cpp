#include "tests/support/text_defaults.h"

#include <cstring>
#include <string>

#include "texts/text_table.h"

namespace {
const char* const kDefaults[kTextSlotCount] = {
#include "texts/default_texts.inc"
};
}  // namespace

void RestoreDefaultTexts() {
  const std::string zeros(kTextMaxLength, '\0');
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    OverwriteTextSlot(slot, zeros.data(), zeros.size());
    OverwriteTextSlot(slot, kDefaults[slot], std::strlen(kDefaults[slot]));
  }
}
