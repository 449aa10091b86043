// A test fixture that puts the text table's shipped defaults back after every test,
// zeros behind each text included, so that no test sees another's texts.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/default_texts.h"
#include "tests/support/text_defaults.h"
#include "texts/text_table.h"

static_assert(sizeof kDefaultTexts / sizeof kDefaultTexts[0] == kTextSlotCount);

class DefaultTextsTest : public testing::Test {
 protected:
  void TearDown() override { RestoreDefaultTexts(); }
};
