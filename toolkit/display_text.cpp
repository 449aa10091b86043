#include "toolkit/display_text.h"

namespace {

std::string DoubleAt(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '@') out += '@';
  }
  return out;
}

}  // namespace

std::string LiteralText(const std::string& text) { return DoubleAt(DisplayText(text)); }

std::string AcceleratorFreeText(const std::string& text) {
  const std::string literal = LiteralText(text);
  std::string out;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] != '&') out += literal[i];
    else if (i + 1 < literal.size() && literal[i + 1] == '&') out += '&', ++i;
  }
  return out;
}
