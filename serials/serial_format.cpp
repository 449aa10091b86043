#include "serials/serial_format.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

// Parses all of text as an unsigned number in base; nothing else around it.
bool ParseWhole(const std::string& text, int base, uint64_t& value) {
  if (text.empty() || text.size() > 20 || !(std::isxdigit(static_cast<unsigned char>(text[0])))) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, base);
  return errno == 0 && end == text.c_str() + text.size();
}

bool ParseTextFormat(const std::string& digits, SerialFormat::Kind kind, SerialFormat& format) {
  uint64_t width = 0;
  if (!ParseWhole(digits, 10, width) || width < 1 || width > 32) return false;
  format = {kind, static_cast<unsigned>(width), false};
  return true;
}

}  // namespace

bool ParseSerialFormat(const std::string& text, SerialFormat& format, std::string& error) {
  bool known = false;
  if (text.rfind("dec:", 0) == 0) {
    known = ParseTextFormat(text.substr(4), SerialFormat::Kind::Decimal, format);
  } else if (text.rfind("hex:", 0) == 0) {
    known = ParseTextFormat(text.substr(4), SerialFormat::Kind::Hex, format);
  } else {
    for (unsigned bits : {16u, 32u, 48u, 64u}) {
      for (const char* end : {"le", "be"}) {
        if (text == "u" + std::to_string(bits) + end) {
          format = {SerialFormat::Kind::Binary, bits / 8, end[0] == 'b'};
          known = true;
        }
      }
    }
  }
  if (!known) {
    error = "unknown serial format \"" + text +
            "\": use u16le, u16be, u32le, u32be, u48le, u48be, u64le, u64be, dec:N or hex:N "
            "(N from 1 to 32 digits)";
  }
  return known;
}

int64_t LargestSerial(const SerialFormat& format) {
  // The largest value of width digits (or bytes) in the format's base, capped where
  // the next power would pass 2^63-1.
  const uint64_t base = format.kind == SerialFormat::Kind::Decimal ? 10
                        : format.kind == SerialFormat::Kind::Hex   ? 16
                                                                   : 256;
  uint64_t power = 1;
  for (unsigned i = 0; i < format.width; ++i) {
    if (power > static_cast<uint64_t>(kLargestStoredSerial) / base) return kLargestStoredSerial;
    power *= base;
  }
  return static_cast<int64_t>(power - 1);
}

std::vector<uint8_t> RenderSerial(const SerialFormat& format, int64_t number) {
  std::vector<uint8_t> bytes(format.width);
  uint64_t rest = static_cast<uint64_t>(number);
  if (format.kind == SerialFormat::Kind::Binary) {
    for (unsigned i = 0; i < format.width; ++i, rest >>= 8) {
      bytes[format.bigEndian ? format.width - 1 - i : i] = static_cast<uint8_t>(rest & 0xFF);
    }
    return bytes;
  }
  const unsigned base = format.kind == SerialFormat::Kind::Decimal ? 10 : 16;
  for (unsigned i = format.width; i-- > 0; rest /= base) {
    bytes[i] = static_cast<uint8_t>("0123456789ABCDEF"[rest % base]);
  }
  return bytes;
}

bool ParseSerialNumber(const std::string& text, int64_t& number, std::string& error) {
  uint64_t value = 0;
  const bool digitsOnly = text.find_first_not_of("0123456789") == std::string::npos;
  if (!digitsOnly || !ParseWhole(text, 10, value) ||
      value > static_cast<uint64_t>(kLargestStoredSerial)) {
    error = "a serial number is a decimal number from 0 to 9223372036854775807, not \"" + text + "\"";
    return false;
  }
  number = static_cast<int64_t>(value);
  return true;
}

bool ParseImageOffset(const std::string& text, uint64_t& offset, std::string& error) {
  const bool hex = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
  const std::string digits = hex ? text.substr(2) : text;
  const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.find_first_not_of(allowed) != std::string::npos ||
      !ParseWhole(digits, hex ? 16 : 10, offset)) {
    error = "a serial offset is a byte offset, decimal or 0x hex, not \"" + text + "\"";
    return false;
  }
  return true;
}
