// The text table's shipped defaults, in slot order, for tests that compare against them.
#pragma once

inline const char* const kDefaultTexts[] = {
#include "texts/default_texts.inc"
};
