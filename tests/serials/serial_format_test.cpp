// Serial numbers in the image: every format at its edges (0, the largest, the width),
// the checks that keep a wrong offset from writing over code, and what the command line
// may give.
#include <gtest/gtest.h>

#include "serials/serial_format.h"
#include "serials/serial_image.h"

namespace {

SerialFormat Format(const std::string& text) {
  SerialFormat format;
  std::string error;
  EXPECT_TRUE(ParseSerialFormat(text, format, error)) << text << ": " << error;
  return format;
}

std::vector<uint8_t> Bytes(const std::string& format, int64_t number) {
  return RenderSerial(Format(format), number);
}

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SerialFormatTest, BinaryFormatsWriteTheirWidthInTheirByteOrder) {
  EXPECT_EQ(Bytes("u16le", 0x1234), (std::vector<uint8_t>{0x34, 0x12}));
  EXPECT_EQ(Bytes("u16be", 0x1234), (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(Bytes("u32le", 7000), (std::vector<uint8_t>{0x58, 0x1B, 0, 0}));
  EXPECT_EQ(Bytes("u32be", 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(Bytes("u48be", 0x0012345678AB), (std::vector<uint8_t>{0x00, 0x12, 0x34, 0x56, 0x78, 0xAB}));
  EXPECT_EQ(Bytes("u48le", 0xFFFFFFFFFFFF), std::vector<uint8_t>(6, 0xFF));
  EXPECT_EQ(Bytes("u64be", INT64_MAX), (std::vector<uint8_t>{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes("u64le", INT64_MAX), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(SerialFormatTest, TextFormatsArePaddedToTheirDigits) {
  EXPECT_EQ(Bytes("dec:8", 7000), Text("00007000"));
  EXPECT_EQ(Bytes("dec:1", 9), Text("9"));
  EXPECT_EQ(Bytes("dec:19", INT64_MAX), Text("9223372036854775807"));
  EXPECT_EQ(Bytes("dec:25", 0), Text("0000000000000000000000000"));
  EXPECT_EQ(Bytes("hex:4", 0xBEEF), Text("BEEF"));
  EXPECT_EQ(Bytes("hex:6", 0xAB), Text("0000AB"));
  EXPECT_EQ(Bytes("hex:16", INT64_MAX), Text("7FFFFFFFFFFFFFFF"));
}

TEST(SerialFormatTest, TheLargestNumberIsTheFormatsOrTheStoresWhicheverIsSmaller) {
  EXPECT_EQ(LargestSerial(Format("u16le")), 0xFFFF);
  EXPECT_EQ(LargestSerial(Format("u32be")), 0xFFFFFFFFLL);
  EXPECT_EQ(LargestSerial(Format("u48be")), 0xFFFFFFFFFFFFLL);
  EXPECT_EQ(LargestSerial(Format("u64le")), INT64_MAX);
  EXPECT_EQ(LargestSerial(Format("dec:1")), 9);
  EXPECT_EQ(LargestSerial(Format("dec:18")), 999999999999999999LL);
  EXPECT_EQ(LargestSerial(Format("dec:19")), INT64_MAX);
  EXPECT_EQ(LargestSerial(Format("dec:32")), INT64_MAX);
  EXPECT_EQ(LargestSerial(Format("hex:15")), 0xFFFFFFFFFFFFFFFLL);
  EXPECT_EQ(LargestSerial(Format("hex:16")), INT64_MAX);
}

TEST(SerialFormatTest, UnknownFormatsAreRefusedWithTheChoices) {
  for (const char* text : {"", "u24le", "u32", "U32LE", "dec:", "dec:0", "dec:33", "hex:-1", "dec:4x", "dec: 4"}) {
    SerialFormat format;
    std::string error;
    EXPECT_FALSE(ParseSerialFormat(text, format, error)) << text;
    EXPECT_NE(error.find("u16le"), std::string::npos) << error;
  }
}

TEST(SerialFormatTest, NumbersAndOffsetsFromTheCommandLine) {
  int64_t number = -1;
  std::string error;
  EXPECT_TRUE(ParseSerialNumber("0", number, error));
  EXPECT_EQ(number, 0);
  EXPECT_TRUE(ParseSerialNumber("9223372036854775807", number, error));
  EXPECT_EQ(number, INT64_MAX);
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "9223372036854775808", "18446744073709551616", "1e3"}) {
    EXPECT_FALSE(ParseSerialNumber(bad, number, error)) << bad;
  }
  uint64_t offset = 0;
  EXPECT_TRUE(ParseImageOffset("0x1F0", offset, error));
  EXPECT_EQ(offset, 0x1F0u);
  EXPECT_TRUE(ParseImageOffset("496", offset, error));
  EXPECT_EQ(offset, 496u);
  for (const char* bad : {"", "0x", "-4", "0x-4", "12a", "0xG", " 4"}) {
    EXPECT_FALSE(ParseImageOffset(bad, offset, error)) << bad;
  }
}

TEST(SerialImageTest, AValueMustFitAndItsPlaceholderBeBlank) {
  std::vector<uint8_t> image(16, 0x11);
  std::fill(image.begin() + 8, image.begin() + 12, 0xFF);
  EXPECT_EQ(CheckPlaceholder(image, 8, 4), Placeholder::Blank);
  EXPECT_EQ(CheckPlaceholder(image, 12, 4), Placeholder::NotBlank) << "the last four bytes: they fit, but hold code";
  EXPECT_EQ(CheckPlaceholder(image, 13, 4), Placeholder::Outside) << "one byte past the end";
  EXPECT_EQ(CheckPlaceholder(image, UINT64_MAX - 1, 4), Placeholder::Outside) << "an end that would wrap around";
  std::fill(image.begin() + 8, image.begin() + 12, 0x00);
  EXPECT_EQ(CheckPlaceholder(image, 8, 4), Placeholder::Blank);
  image[9] = 0xFF;
  EXPECT_EQ(CheckPlaceholder(image, 8, 4), Placeholder::NotBlank) << "neither all 0x00 nor all 0xFF";
}

}  // namespace
