// Pictures: what a bitmap decodes to, which damaged files are refused with which text,
// and how a picture loads a file by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "toolkit/bitmap_file.h"
#include "toolkit/toolkit.h"
#include "tests/support/scratch_dir.h"
#include "tests/toolkit/sample_form.h"

namespace {

void ExpectPixels(const BitmapPixels& pixels, int width, int height, int bpp) {
  ASSERT_EQ(pixels.width, width);
  ASSERT_EQ(pixels.height, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &pixels.rgb[(y * width + x) * 3];
      const uint32_t rgb = static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
      ASSERT_EQ(rgb, ExpectedPixel(x, y, bpp)) << "pixel " << x << "," << y << " at " << bpp << " bits";
    }
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
  BitmapPixels pixels;
  const std::string decoded = DecodeBitmap(bytes, pixels);
  EXPECT_EQ(decoded, CheckBitmap(bytes)) << "checking and decoding must agree";
  return decoded;
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class TempDir : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.Path();
    ASSERT_FALSE(dir_.empty());
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  ScratchDir scratch_{"fwflash-picture"};
  std::string dir_;
};

}  // namespace

TEST(BitmapDecoding, EveryDepthDecodesToItsPixelsInBothRowOrders) {
  for (int bpp : {1, 4, 8, 24, 32})
    for (bool topDown : {false, true}) {
      BitmapPixels pixels;
      // 13 pixels wide: every depth needs row padding.
      ASSERT_EQ(DecodeBitmap(MakeBitmap(13, 5, bpp, topDown), pixels), "") << bpp;
      ExpectPixels(pixels, 13, 5, bpp);
    }
}

TEST(BitmapDecoding, TheShippedProductPictureIsAccepted) {
  std::ifstream file(FWFLASH_SOURCE_DIR "/payload/product_picture.bmp", std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
  BitmapPixels pixels;
  ASSERT_EQ(DecodeBitmap(bytes, pixels), "");
  EXPECT_EQ(pixels.width, 48);
  EXPECT_EQ(pixels.height, 48);
}

TEST(BitmapDecoding, ALastRowWithoutItsPaddingIsAccepted) {
  std::vector<uint8_t> bytes = MakeBitmap(13, 4, 4);  // rows of 7 bytes padded to 8
  bytes.resize(bytes.size() - 1);  // as some writers leave the last row's padding out
  EXPECT_EQ(CheckBitmap(bytes), "");
}

TEST(BitmapDecoding, DataEndingEarlyIsAStreamReadError) {
  const std::vector<uint8_t> whole = MakeBitmap(48, 48, 4);
  // Inside the file header, the info header, the palette and the pixel rows.
  for (size_t length : {size_t{1}, size_t{10}, size_t{30}, size_t{60}, size_t{118}, size_t{300}, whole.size() - 30}) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
    EXPECT_EQ(Refusal(cut), kStreamReadError) << "cut at " << length;
  }
}

TEST(BitmapDecoding, ImpossibleHeadersAreNotValid) {
  const std::vector<uint8_t> good = MakeBitmap(16, 16, 4);
  auto with = [&good](size_t at, uint32_t value, int bytes = 4) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  EXPECT_EQ(Refusal(with(0, 'X', 1)), kBitmapNotValid) << "magic";
  EXPECT_EQ(Refusal(with(28, 7, 2)), kBitmapNotValid) << "7 bits per pixel";
  EXPECT_EQ(Refusal(with(28, 0, 2)), kBitmapNotValid) << "0 bits per pixel";
  EXPECT_EQ(Refusal(with(26, 2, 2)), kBitmapNotValid) << "two planes";
  EXPECT_EQ(Refusal(with(14, 64)), kBitmapNotValid) << "unknown header size";
  EXPECT_EQ(Refusal(with(30, 2)), kBitmapNotValid) << "run-length compressed";
  EXPECT_EQ(Refusal(with(46, 17)), kBitmapNotValid) << "more colours than 4 bits hold";
  EXPECT_EQ(Refusal(with(18, 0)), kBitmapNotValid) << "no width";
  EXPECT_EQ(Refusal(with(18, static_cast<uint32_t>(-16))), kBitmapNotValid) << "negative width";
  EXPECT_EQ(Refusal(with(10, 20)), kBitmapNotValid) << "pixels inside the header";
}

TEST(BitmapDecoding, SizesTheDataCannotHoldAreRefusedWithoutAllocatingThem) {
  std::vector<uint8_t> wider = MakeBitmap(16, 16, 4);
  Set32(wider, 18, 17);  // rows one pixel wider than the data holds
  EXPECT_EQ(Refusal(wider), kStreamReadError);
  std::vector<uint8_t> huge = MakeBitmap(16, 16, 24);
  Set32(huge, 18, 30000), Set32(huge, 22, 30000);  // 2.7 GB of pixels claimed
  EXPECT_EQ(Refusal(huge), kStreamReadError);
  Set32(huge, 18, 0x7FFFFFFF);
  EXPECT_EQ(Refusal(huge), kBitmapNotValid);
  std::vector<uint8_t> wrapping = MakeBitmap(16, 16, 32);
  Set32(wrapping, 18, 32768), Set32(wrapping, 22, 32768);  // 4 GiB of pixels: 0 in 32 bits
  EXPECT_EQ(Refusal(wrapping), kStreamReadError);
  std::vector<uint8_t> offsetBeyond = MakeBitmap(16, 16, 4);
  Set32(offsetBeyond, 10, 0xFFFFFFF0);  // pixels said to start far behind the end
  EXPECT_EQ(Refusal(offsetBeyond), kStreamReadError);
}

TEST(BitmapDecoding, PaletteIndexesPastAShortPaletteShowBlack) {
  std::vector<uint8_t> b = MakeBitmap(4, 1, 4);
  Set32(b, 46, 2);  // two colours used; the pixel bytes stay where they were
  BitmapPixels pixels;
  ASSERT_EQ(DecodeBitmap(b, pixels), "");
  EXPECT_EQ(pixels.rgb[3 * 3], 0);  // index 3
}

TEST_F(TempDir, APictureLoadsABitmapByItsExtensionInAnyCase) {
  TPicture picture;
  EXPECT_TRUE(picture.Empty());
  picture.LoadFromFile(Write("pic1.BMP", MakeBitmap(48, 48, 4)));
  EXPECT_FALSE(picture.Empty());
  EXPECT_EQ(picture.Width(), 48);
  EXPECT_EQ(picture.Height(), 48);
}

TEST_F(TempDir, AnEmptyFileGivesAnEmptyPicture) {
  TPicture picture;
  picture.LoadFromFile(Write("full.bmp", MakeBitmap(8, 8, 8)));
  EXPECT_NO_THROW(picture.LoadFromFile(Write("pic2.bmp", {})));
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.Width(), 0);
}

TEST_F(TempDir, DamagedMissingAndForeignFilesThrowWithTheirTexts) {
  TPicture picture;
  picture.LoadFromFile(Write("good.bmp", MakeBitmap(8, 8, 8)));
  std::vector<uint8_t> truncated = MakeBitmap(48, 48, 4);
  truncated.resize(300);
  auto message = [&picture](const std::string& path) -> std::string {
    try {
      picture.LoadFromFile(path);
    } catch (const Exception& error) {
      return error.what();
    }
    return "no exception";
  };
  EXPECT_EQ(message(Write("cut.bmp", truncated)), kStreamReadError);
  EXPECT_EQ(message(Write("junk.bmp", std::vector<uint8_t>(500, 'x'))), kBitmapNotValid);
  const std::string missing = message(dir_ + "/missing.bmp");
  EXPECT_NE(missing.find("missing.bmp"), std::string::npos) << missing;
  EXPECT_NE(missing.find("No such file"), std::string::npos) << missing;
  EXPECT_NE(message(Write("p.ico", {1, 2, 3})).find("not supported"), std::string::npos);
  EXPECT_EQ(message(Write("p.png", {1, 2, 3})), "Unknown picture file extension (.png)");
  EXPECT_EQ(picture.Width(), 8) << "a failed load keeps the picture that was there";
}
