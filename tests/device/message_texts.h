// The texts of the given slots, in order, as the dialog recorder records them.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "texts/text_table.h"

inline std::vector<std::string> Texts(std::initializer_list<TextSlot> slots) {
  std::vector<std::string> texts;
  for (TextSlot slot : slots) texts.push_back(ReadTextSlot(slot));
  return texts;
}
