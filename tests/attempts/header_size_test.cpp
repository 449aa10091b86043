// The size of an image's reference header, which everything after the opening counts
// with: BEGIN's payload, progress, the size limit and the protocol chosen.
#include <gtest/gtest.h>

#include <cstring>

#include "attempts/protocol_choice.h"

namespace {

// An image of total bytes whose first bytes are magic and a little-endian size field.
std::vector<uint8_t> Image(const char* magic, uint32_t field, size_t total) {
  std::vector<uint8_t> image(total, 0x11);
  std::memcpy(image.data(), magic, std::min<size_t>(4, total));
  for (size_t i = 0; i < 4 && 4 + i < total; ++i) image[4 + i] = static_cast<uint8_t>(field >> (8 * i));
  return image;
}

struct HeaderCase {
  const char* name;
  const char* magic;
  uint32_t field;
  size_t total;
  bool reference;
  uint32_t size;
};

class ReferenceHeaderSizeTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(ReferenceHeaderSizeTest, GivesTheHeadersSizeOnlyForAHeaderThatCanBeOne) {
  const HeaderCase& c = GetParam();
  const std::vector<uint8_t> image = Image(c.magic, c.field, c.total);
  uint32_t size = 0;
  EXPECT_EQ(ReferenceHeaderSize(image.data(), image.size(), size), c.reference);
  if (c.reference) {
    EXPECT_EQ(size, c.size);
  }
  // The same image makes the protocol's choice and the size limit.
  Protocol protocol = Protocol::Two;
  std::string error;
  ASSERT_TRUE(ChooseProtocol("", image.data(), image.size(), protocol, error));
  EXPECT_EQ(protocol, c.reference ? Protocol::Auto : Protocol::One);
  EXPECT_EQ(ImageSizeLimit(image, true) == kHeaderedImageLimit, c.reference);
}

INSTANTIATE_TEST_SUITE_P(
    Images, ReferenceHeaderSizeTest,
    testing::Values(HeaderCase{"Unsigned", "FWB1", 20, 20, true, 8},
                    // The unsigned header's length field is the device's to check.
                    HeaderCase{"UnsignedWhateverItsLength", "FWB1", 3, 20, true, 8},
                    HeaderCase{"UnsignedCutShort", "FWB1", 7, 7, false, 0},
                    HeaderCase{"SignedNoRegions", "FWS1", 160, 161, true, 160},
                    HeaderCase{"SignedTwoRegions", "FWS1", 184, 500, true, 184},
                    HeaderCase{"SignedEightRegions", "FWS1", 256, 257, true, 256},
                    HeaderCase{"SignedNineRegions", "FWS1", 268, 500, false, 0},
                    HeaderCase{"SignedSizeBetweenRegions", "FWS1", 166, 500, false, 0},
                    HeaderCase{"SignedSizeBelowAnyHeader", "FWS1", 8, 500, false, 0},
                    HeaderCase{"SignedWithoutApplication", "FWS1", 160, 160, false, 0},
                    HeaderCase{"SignedBeyondTheImage", "FWS1", 172, 100, false, 0},
                    HeaderCase{"SignedCutShort", "FWS1", 0, 6, false, 0},
                    HeaderCase{"Raw", "\x0C\x94\x00\x00", 160, 500, false, 0}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

}  // namespace
