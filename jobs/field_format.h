// A field's format: what its value looks like as a list item or a generator's output (its
// list syntax), and the bytes it becomes in the image.
//
//   FieldFormat                 a serial number's format, bytes:N or ascii:N
//   ParseFieldFormat(text, format, error)
//   FieldWidth(format)          its bytes in the image
//   ListKindOf(format)          the list kind that feeds it: number, hex or text
//   ItemLengthOf(format)        the list length that fits it (0 for numbers)
//   ReadItem(kind, length, text, item, error)
//                               a value in list syntax, as the store keeps it: hex in
//                               lower case without separators (":" and "-" between bytes
//                               allowed), text as it is, a number as a decimal; false
//                               with the reason when it is not one
//   ItemBytes(kind, length, item)
//                               the bytes the item stands for, a text padded with 0x00
//                               to length, a number as its decimal: duplicates and
//                               secret items are known by these bytes' SHA-256
//   RenderField(format, item, bytes, error)
//                               the item's bytes in the image; false when it does not fit
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serials/serial_format.h"

struct FieldFormat {
  enum class Kind { Number, Bytes, Ascii };
  Kind kind = Kind::Number;
  SerialFormat number;  // Number only
  unsigned length = 0;  // Bytes and Ascii: N
};

bool ParseFieldFormat(const std::string& text, FieldFormat& format, std::string& error);
unsigned FieldWidth(const FieldFormat& format);
std::string ListKindOf(const FieldFormat& format);
int64_t ItemLengthOf(const FieldFormat& format);
bool ReadItem(const std::string& kind, int64_t length, const std::string& text, std::string& item,
              std::string& error);
std::string ItemBytes(const std::string& kind, int64_t length, const std::string& item);
bool RenderField(const FieldFormat& format, const std::string& item, std::vector<uint8_t>& bytes,
                 std::string& error);
