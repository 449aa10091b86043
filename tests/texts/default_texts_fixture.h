// A test fixture that puts the text table's shipped defaults back after every test,
// zeros behind each text included, so that no test sees another's texts.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/default_texts.h"
#include "texts/text_table.h"

static_assert(sizeof kDefaultTexts / sizeof kDefaultTexts[0] == kTextSlotCount);

class DefaultTextsTest : public testing::Test {
 protected:
  void TearDown() override {
    for (int slot = 0; slot < kTextSlotCount; ++slot) {
      std::string zeros(kTextMaxLength, '\0');
      OverwriteTextSlot(slot, zeros.data(), zeros.size());
      OverwriteTextSlot(slot, kDefaultTexts[slot], std::strlen(kDefaultTexts[slot]));
    }
  }
};
