#include "toolkit/text_encoding.h"

#include <cstdint>

namespace {

// Windows-1252's 0x80 to 0x9F; the five bytes it leaves undefined stay the C1 controls of
// the same number, as Windows shows them. Every other byte is its own code point.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

std::string FromWindows1252(const std::string& text) {
  std::string out;
  for (unsigned char c : text) AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c);
  return out;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t length;
    uint32_t codePoint;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) length = 2, codePoint = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, codePoint = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, codePoint = c & 0x07;
    else return false;
    if (n - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      codePoint = codePoint << 6 | (s[i + k] & 0x3F);
    }
    if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000)) return false;
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

std::string DisplayText(const std::string& text) {
  return IsValidUtf8(text) ? text : FromWindows1252(text);
}
