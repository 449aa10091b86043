#include "jobs/field_format.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr unsigned kLongestField = 4096;

bool ParseLength(const std::string& digits, unsigned& length) {
  if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  length = static_cast<unsigned>(std::stoul(digits));
  return length >= 1 && length <= kLongestField;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex(int64_t length, const std::string& text, std::string& item, std::string& error) {
  std::string digits;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // A separator only between two bytes: after an even count of digits.
    if ((c == ':' || c == '-') && !digits.empty() && digits.size() % 2 == 0 && i + 1 < text.size()) continue;
    if (HexDigit(c) < 0) {
      error = "not hex";  // the item is not shown: it may be a secret
      return false;
    }
    digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (digits.size() != static_cast<size_t>(length) * 2) {
    error = digits.size() % 2 != 0
                ? "hex with an odd count of digits"
                : "hex of " + std::to_string(digits.size() / 2) + " bytes, not " + std::to_string(length);
    return false;
  }
  item = digits;
  return true;
}

bool ReadText(int64_t length, const std::string& text, std::string& item, std::string& error) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) {
      error = "a text item holds printable ASCII only (0x20 to 0x7E)";
      return false;
    }
  }
  if (text.empty() || static_cast<int64_t>(text.size()) > length) {
    error = "a text item has 1 to " + std::to_string(length) + " characters, not " + std::to_string(text.size());
    return false;
  }
  item = text;
  return true;
}

}  // namespace

bool ParseFieldFormat(const std::string& text, FieldFormat& format, std::string& error) {
  format = FieldFormat();
  const bool bytes = text.rfind("bytes:", 0) == 0, ascii = text.rfind("ascii:", 0) == 0;
  if (!bytes && !ascii) {
    format.kind = FieldFormat::Kind::Number;
    if (ParseSerialFormat(text, format.number, error)) return true;
    error = "unknown format \"" + text + "\": u16le … u64be, dec:N, hex:N, bytes:N or ascii:N";
    return false;
  }
  format.kind = bytes ? FieldFormat::Kind::Bytes : FieldFormat::Kind::Ascii;
  if (ParseLength(text.substr(6), format.length)) return true;
  error = "format \"" + text + "\": N runs from 1 to " + std::to_string(kLongestField);
  return false;
}

unsigned FieldWidth(const FieldFormat& format) {
  return format.kind == FieldFormat::Kind::Number ? format.number.width : format.length;
}

std::string ListKindOf(const FieldFormat& format) {
  switch (format.kind) {
    case FieldFormat::Kind::Number: return "number";
    case FieldFormat::Kind::Bytes: return "hex";
    case FieldFormat::Kind::Ascii: return "text";
  }
  return "";
}

int64_t ItemLengthOf(const FieldFormat& format) {
  return format.kind == FieldFormat::Kind::Number ? 0 : format.length;
}

bool ReadItem(const std::string& kind, int64_t length, const std::string& text, std::string& item,
              std::string& error) {
  if (kind == "hex") return ReadHex(length, text, item, error);
  if (kind == "text") return ReadText(length, text, item, error);
  int64_t number = 0;
  if (!ParseSerialNumber(text, number, error)) return false;
  item = std::to_string(number);
  return true;
}

std::string ItemBytes(const std::string& kind, int64_t length, const std::string& item) {
  if (kind == "hex") {
    std::string bytes;
    for (size_t i = 0; i + 1 < item.size(); i += 2)
      bytes += static_cast<char>(HexDigit(item[i]) * 16 + HexDigit(item[i + 1]));
    return bytes;
  }
  if (kind == "text") return item + std::string(static_cast<size_t>(length) - std::min<size_t>(item.size(), length), '\0');
  return item;
}

bool RenderField(const FieldFormat& format, const std::string& item, std::vector<uint8_t>& bytes,
                 std::string& error) {
  const std::string kind = ListKindOf(format);
  std::string read;
  if (!ReadItem(kind, ItemLengthOf(format), item, read, error)) return false;
  if (format.kind == FieldFormat::Kind::Number) {
    const int64_t number = std::stoll(read);
    if (number > LargestSerial(format.number)) {
      error = "the number " + read + " does not fit the format";
      return false;
    }
    bytes = RenderSerial(format.number, number);
    return true;
  }
  const std::string raw = ItemBytes(kind, format.length, read);
  bytes.assign(raw.begin(), raw.end());
  return true;
}
