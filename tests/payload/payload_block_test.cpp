// The payload block as it lands in a built executable: found by its tag, every field at
// its offset, the shipped picture, firmware and default texts inside, and the tag's
// bytes nowhere else in the program. Also the form of the shipped assets themselves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/crc32.h"
#include "files/whole_file.h"
#include "payload/payload_image.h"
#include "payload/payload_tag.h"
#include "tests/support/default_texts.h"
#include "tests/support/program_run.h"

namespace {

std::vector<uint8_t> ReadOrFail(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
  return bytes;
}

std::vector<uint8_t> Asset(const char* name) {
  return ReadOrFail(std::string(FWFLASH_SOURCE_DIR) + "/payload/" + name);
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

// Each program that links the block; the main program is checked once it is built.
class BuiltExecutableTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::string path = BuildPath(GetParam());
    if (access(path.c_str(), F_OK) != 0) {
      if (std::string(GetParam()) == "fwflash") GTEST_SKIP() << "build/fwflash is not built yet";
      FAIL() << path << " is missing";
    }
    std::string error;
    ASSERT_TRUE(image_.Locate(ReadOrFail(path), kPayloadTag, error)) << error;
    block_ = image_.Bytes().data() + image_.BlockOffset();
  }
  PayloadImage image_;
  const uint8_t* block_ = nullptr;
};

TEST_P(BuiltExecutableTest, TheBlockHoldsTheShippedPictureAndFirmwareWithZerosBehindThem) {
  EXPECT_EQ(std::memcmp(block_, "@DEREV#\0", 8), 0);
  std::vector<uint8_t> picture = Asset("product_picture.bmp"), firmware = Asset("firmware.bin");
  EXPECT_EQ(Le32(block_ + 8), 1272u);
  EXPECT_EQ(std::vector<uint8_t>(block_ + 12, block_ + 12 + 1272), picture);
  EXPECT_TRUE(AllZero(block_ + 12 + 1272, 80016 - 1272));
  EXPECT_EQ(Le32(block_ + 80028), 3612u);
  EXPECT_EQ(std::vector<uint8_t>(block_ + 80032, block_ + 80032 + 3612), firmware);
  EXPECT_TRUE(AllZero(block_ + 80032 + 3612, 16388 - 3612));
  EXPECT_EQ(image_.Picture(), picture);
  EXPECT_EQ(image_.Firmware(), firmware);
}

TEST_P(BuiltExecutableTest, TheReservedBytesTextTagAndDefaultTextsFollowAtTheirOffsets) {
  const uint8_t marks[] = {0x01, 0x00, 0x02, 0x01, 0x03, 0x02, 0x04, 0x03};
  EXPECT_EQ(std::memcmp(block_ + 96420, marks, 8), 0);
  EXPECT_TRUE(AllZero(block_ + 96428, 16376));
  EXPECT_EQ(std::memcmp(block_ + 112804, "@DEREV#", 7), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block_ + 112811), 2), std::string(" \0", 2));
  for (int slot = 0; slot < 26; ++slot) {
    const uint8_t* bytes = block_ + 112811 + 256 * slot;
    size_t length = std::strlen(kDefaultTexts[slot]);
    EXPECT_EQ(std::memcmp(bytes, kDefaultTexts[slot], length), 0) << "slot " << slot;
    EXPECT_TRUE(AllZero(bytes + length, 256 - length)) << "slot " << slot;
    EXPECT_EQ(image_.Text(slot), kDefaultTexts[slot]);
  }
}

TEST_P(BuiltExecutableTest, TheTagsBytesOccurOnlyAtTheBlockAndBeforeTheTextTable) {
  const std::vector<uint8_t>& bytes = image_.Bytes();
  std::vector<size_t> found;
  for (size_t at = 0; at + 7 <= bytes.size(); ++at)
    if (std::memcmp(bytes.data() + at, "@DEREV#", 7) == 0) found.push_back(at);
  size_t block = image_.BlockOffset();
  EXPECT_EQ(found, (std::vector<size_t>{block, block + 112804}));
}

INSTANTIATE_TEST_SUITE_P(Programs, BuiltExecutableTest,
                         testing::Values("tests/payload_probe", "fwflash"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).find("probe") != std::string::npos
                                      ? std::string("PayloadProbe") : std::string("Fwflash");
                         });

TEST(PayloadProbeTest, TheRunningProgramSeesTheShippedPictureAndFirmware) {
  std::vector<uint8_t> picture = Asset("product_picture.bmp"), firmware = Asset("firmware.bin");
  ProgramResult run = RunProgram({BuildPath("tests/payload_probe")});
  ASSERT_EQ(run.status, 0) << run.err;
  char expected[128];
  std::snprintf(expected, sizeof expected, "picture 1272 crc32 %08x\nfirmware 3612 crc32 %08x\ntext 0 20\n",
                Crc32(picture.data(), picture.size()), Crc32(firmware.data(), firmware.size()));
  EXPECT_EQ(run.out.substr(0, std::strlen(expected)), expected);
}

TEST(PayloadAssetsTest, ThePictureIsA48By48SixteenColourBitmapOf1272Bytes) {
  std::vector<uint8_t> bmp = Asset("product_picture.bmp");
  ASSERT_EQ(bmp.size(), 1272u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(&bmp[2]), 1272u);     // file size field
  EXPECT_EQ(Le32(&bmp[10]), 118u);     // pixels after a 118-byte header and palette
  EXPECT_EQ(Le32(&bmp[14]), 40u);      // information header
  EXPECT_EQ(Le32(&bmp[18]), 48u);      // width
  EXPECT_EQ(Le32(&bmp[22]), 48u);      // height, rows bottom-up
  EXPECT_EQ(bmp[26] | bmp[27] << 8, 1);   // planes
  EXPECT_EQ(bmp[28] | bmp[29] << 8, 4);   // bits per pixel
  EXPECT_EQ(Le32(&bmp[30]), 0u);       // uncompressed
  EXPECT_EQ(Le32(&bmp[46]), 16u);      // colours in the palette
  EXPECT_EQ(bmp[1270], 0);             // 118 + 48 rows of 24 bytes, then two zero bytes
  EXPECT_EQ(bmp[1271], 0);
}

TEST(PayloadAssetsTest, TheFirmwareIs3612BytesIncludingTheProtocolsOwnByteValues) {
  std::vector<uint8_t> firmware = Asset("firmware.bin");
  ASSERT_EQ(firmware.size(), 3612u);
  for (uint8_t value : {0x80, 0xA5, 0xFF})
    EXPECT_NE(std::find(firmware.begin(), firmware.end(), value), firmware.end()) << int(value);
}

}  // namespace
