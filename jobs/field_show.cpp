#include "jobs/field_show.h"

namespace {

// The number's lowest bytes as upper-case hex pairs, the most significant first, with
// the separator between pairs.
std::string HexPairs(uint64_t number, unsigned bytes, const char* separator) {
  std::string text;
  for (unsigned i = bytes; i-- > 0;) {
    const unsigned byte = static_cast<unsigned>(number >> (8 * i)) & 0xFF;
    text += "0123456789ABCDEF"[byte >> 4];
    text += "0123456789ABCDEF"[byte & 0xF];
    if (i > 0) text += separator;
  }
  return text;
}

bool IsMacFormat(const FieldFormat& format) {
  return format.kind == FieldFormat::Kind::Number && format.number.kind == SerialFormat::Kind::Binary &&
         format.number.width == 6;
}

// The fewest whole bytes that hold the format's largest value.
unsigned HexWidth(const FieldFormat& format) {
  unsigned bytes = 1;
  for (uint64_t rest = static_cast<uint64_t>(LargestSerial(format.number)) >> 8; rest != 0; rest >>= 8) ++bytes;
  return bytes;
}

}  // namespace

bool ParseFieldShow(const std::string& text, const FieldFormat& format, FieldShow& show, std::string& error) {
  if (text != "decimal" && text != "hex" && text != "mac") {
    error = "unknown show \"" + text + "\": decimal, hex or mac";
    return false;
  }
  if (format.kind != FieldFormat::Kind::Number) {
    error = "show is for number formats only; a bytes:N or ascii:N value is shown as it is";
    return false;
  }
  if (text == "mac" && !IsMacFormat(format)) {
    error = "show = \"mac\" needs the format u48le or u48be: a MAC address is 6 bytes";
    return false;
  }
  show = text == "decimal" ? FieldShow::Decimal : text == "hex" ? FieldShow::Hex : FieldShow::Mac;
  return true;
}

std::string ShowNumber(const FieldFormat& format, FieldShow show, int64_t number) {
  switch (show) {
    case FieldShow::Decimal: return std::to_string(number);
    case FieldShow::Hex: return "0x" + HexPairs(static_cast<uint64_t>(number), HexWidth(format), "");
    case FieldShow::Mac: return HexPairs(static_cast<uint64_t>(number), 6, ":");
  }
  return "";
}
