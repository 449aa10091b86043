// Serial numbers as values with a format: how a number is written into the image.
//
//   ParseSerialFormat(text, format, error)  "u16le" … "u64be" (binary, little or big
//                                           end), "dec:N" (N ASCII digits, zero-padded),
//                                           "hex:N" (N upper-case ASCII hex digits)
//   LargestSerial(format)                   the largest number the format holds, at most
//                                           2^63-1 (what both record engines store)
//   RenderSerial(format, number)            the number's bytes in the image; the number
//                                           must be at most LargestSerial(format)
//   ParseSerialNumber(text, number, error)  a decimal number from 0 to 2^63-1
//   ParseImageOffset(text, offset, error)   a byte offset, decimal or 0x hex
//
// A format's width is its bytes in the image: 2 to 8 for the binary ones, N for text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SerialFormat {
  enum class Kind { Binary, Decimal, Hex };
  Kind kind = Kind::Binary;
  unsigned width = 4;        // bytes in the image
  bool bigEndian = false;    // binary formats only
};

constexpr int64_t kLargestStoredSerial = INT64_MAX;

bool ParseSerialFormat(const std::string& text, SerialFormat& format, std::string& error);
int64_t LargestSerial(const SerialFormat& format);
std::vector<uint8_t> RenderSerial(const SerialFormat& format, int64_t number);
bool ParseSerialNumber(const std::string& text, int64_t& number, std::string& error);
bool ParseImageOffset(const std::string& text, uint64_t& offset, std::string& error);
