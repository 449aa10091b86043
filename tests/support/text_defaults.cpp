#include "tests/support/text_defaults.h"

#include <cstring>
#include <string>

#include "tests/support/default_texts.h"
#include "texts/text_table.h"

void RestoreDefaultTexts() {
  const std::string zeros(kTextMaxLength, '\0');
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    OverwriteTextSlot(slot, zeros.data(), zeros.size());
    OverwriteTextSlot(slot, kDefaultTexts[slot], std::strlen(kDefaultTexts[slot]));
  }
}
