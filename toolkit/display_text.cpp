#include "toolkit/display_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

// Appends one code point below 0x800 (all that a byte the converter refuses can need).
void AppendTwoByteUtf8(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | byte >> 6);
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

// Windows-1252 through the C library's converter. The five bytes the code page leaves
// undefined are shown as the C1 controls of the same number, as Windows does.
std::string FromWindows1252(const std::string& text) {
  iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
  if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open("UTF-8", "CP1252");
  std::string out;
  if (converter == reinterpret_cast<iconv_t>(-1)) {  // no converter at all: Latin-1
    for (unsigned char c : text) c < 0x80 ? void(out += static_cast<char>(c)) : AppendTwoByteUtf8(out, c);
    return out;
  }
  std::string input = text;
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      AppendTwoByteUtf8(out, static_cast<unsigned char>(*in));
      ++in, --inLeft;
    }
  }
  iconv_close(converter);
  return out;
}

std::string DoubleAt(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '@') out += '@';
  }
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
