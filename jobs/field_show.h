// How a number field's value is shown in its record (and so in the CSV, the dashboard
// and the report): as a decimal, as hex, or as a MAC address. The image's bytes never
// depend on it.
//
//   ParseFieldShow(text, format, show, error)
//                          "decimal", "hex" or "mac"; false with the reason when the
//                          word is unknown, the format is not a number's, or "mac" is
//                          asked of a format other than u48le/u48be
//   ShowNumber(format, show, number)
//                          decimal: as it is; hex: "0x" and upper-case digits, two per
//                          byte of the smallest whole number of bytes that holds the
//                          format's largest value (u16 2 … u64 8, dec:6 3 as 999999 is
//                          0x0F423F, hex:3 2); mac: six upper-case pairs joined by ":",
//                          the most significant first
#pragma once

#include <cstdint>
#include <string>

#include "jobs/field_format.h"

enum class FieldShow { Decimal, Hex, Mac };

bool ParseFieldShow(const std::string& text, const FieldFormat& format, FieldShow& show, std::string& error);
std::string ShowNumber(const FieldFormat& format, FieldShow show, int64_t number);
