// The simulation built with a key: signed images flashed in either protocol, the refusals
// made before anything is erased, a changed body that leaves no record, the production
// line's bytes in the regions, and the security counter's two pages.
#include "tests/bootloader/boot_signed_fixture.h"

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t at, size_t n) {
  return std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + n);
}

std::vector<uint8_t> Slot(uint32_t value) {
  std::vector<uint8_t> slot;
  PutU32(slot, value);
  PutU32(slot, ~value);
  return slot;
}

class EitherProtocol : public BootSignedTest, public testing::WithParamInterface<bool> {};

TEST_P(EitherProtocol, ASignedImageIsValidWithItsVersionAndTheCounterRisesOnlyForward) {
  const bool frames = GetParam();
  const std::vector<uint8_t> first = SignedApp(1), second = SignedApp(2);
  BootSimProcess sim;
  EXPECT_EQ(StartKeyed(sim), Nothing(0));
  ASSERT_TRUE(FlashSigned(Signed(first, "1.2.3", 7), frames));
  EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(first), "1.2.3", 7));
  // The counter in the second of its pages, the first erased; the record keeps the version.
  std::vector<uint8_t> flash = Read(FlashFile());
  EXPECT_EQ(Slice(flash, kCounterAt + kSignedPage, 8), Slot(7));
  EXPECT_EQ(Slice(flash, kCounterAt, kSignedPage), std::vector<uint8_t>(kSignedPage, 0xFF));
  // The same counter is taken again (a version without a security fix); a higher one
  // moves to the other page and erases the older.
  ASSERT_TRUE(FlashSigned(Signed(second, "1.3.0", 7), frames));
  EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(second), "1.3.0", 7));
  ASSERT_TRUE(FlashSigned(Signed(first, "2.0.65535", 9), frames));
  EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(first), "2.0.65535", 9));
  flash = Read(FlashFile());
  EXPECT_EQ(Slice(flash, kCounterAt, 8), Slot(9));
  EXPECT_EQ(Slice(flash, kCounterAt + kSignedPage, kSignedPage), std::vector<uint8_t>(kSignedPage, 0xFF));
}

TEST_P(EitherProtocol, ARefusedImageErasesNothingAndTheOldApplicationStaysValid) {
  const bool frames = GetParam();
  const std::vector<uint8_t> installed = SignedApp(3), app = SignedApp(4);
  std::vector<uint8_t> changedHeader = Signed(app, "1.1.0", 5);
  changedHeader[12] ^= 0x01;  // the version: the signature no longer verifies
  std::vector<uint8_t> tooLong = App(kCounterAt + 1, 5);  // into the counter's pages
  std::copy(app.begin(), app.begin() + 106, tooLong.begin());
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    std::vector<uint8_t> reason;  // the RESULT's payload in frames
  };
  const std::vector<Case> cases{
      {"another key's", Signed(app, "1.1.0", 5, "other"), {2}},
      {"a lower counter", Signed(app, "1.1.0", 4), {3}},
      {"a changed header", changedHeader, {4}},
      {"an unsigned image", Read(Image("unsigned", app)), {}},
      {"a too long application", Signed(tooLong, "1.1.0", 5), {}},
  };
  BootSimProcess sim;
  StartKeyed(sim);
  ASSERT_TRUE(FlashSigned(Signed(installed, "1.0.0", 5), frames));
  const json valid = Keyed(Valid(installed), "1.0.0", 5);
  ASSERT_EQ(Json(sim.NextLine()), valid);
  const std::vector<uint8_t> before = Read(FlashFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (frames) {
      FrameHost host(Link(), kSignedPage);
      host.Probe();
      ASSERT_EQ(host.Next().kind, kCaps);
      const bool isSigned = c.image[2] == 'S';
      host.BeginWith(isSigned ? HeaderOf(c.image) : std::vector<uint8_t>(c.image.begin(), c.image.begin() + 8));
      EXPECT_EQ(host.Next(), (Frame{kResult, 1, c.reason}));
    } else {
      EXPECT_FALSE(FlashSigned(c.image, false));
    }
    EXPECT_EQ(Json(sim.NextLine()), valid);
    EXPECT_EQ(Read(FlashFile()), before);
  }
}

TEST_P(EitherProtocol, AChangedByteOutsideTheRegionsLeavesNoRecordAndNoHigherCounter) {
  const bool frames = GetParam();
  const std::vector<uint8_t> app = SignedApp(6);
  BootSimProcess sim;
  StartKeyed(sim);
  ASSERT_TRUE(FlashSigned(Signed(app, "1.0.0", 2), frames));
  ASSERT_EQ(Json(sim.NextLine()), Keyed(Valid(app), "1.0.0", 2));
  for (size_t at : {0, 15, 24, 99, 106, 599}) {  // around each region, and both ends
    SCOPED_TRACE("app byte " + std::to_string(at));
    std::vector<uint8_t> image = Signed(app, "1.1.0", 3);
    const size_t headerSize = HeaderOf(image).size();
    image[headerSize + at] ^= 0x40;
    if (frames) {
      FrameHost host(Link(), kSignedPage);
      host.Probe();
      ASSERT_EQ(host.Next().kind, kCaps);
      host.BeginWith(HeaderOf(image));
      ASSERT_EQ(host.Next(), Ack(0));
      const std::vector<uint8_t> body = AppOf(image);
      host.Stream(body, 0, body.size());
      for (size_t acked = kSignedPage; acked < body.size() + kSignedPage; acked += kSignedPage)
        ASSERT_EQ(host.Next(), Ack(static_cast<uint32_t>(std::min(acked, body.size()))));
      host.End(body, Crc32(body.data(), body.size()));
      EXPECT_EQ(host.Next(), (Frame{kResult, 2, {5}}));
    } else {
      EXPECT_FALSE(FlashSigned(image, false));
    }
    EXPECT_EQ(Json(sim.NextLine()), Nothing(2));
  }
  ASSERT_TRUE(FlashSigned(Signed(app, "1.1.0", 3), frames));
  EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(app), "1.1.0", 3));
}

INSTANTIATE_TEST_SUITE_P(Protocols, EitherProtocol, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "InFrames" : "ByteForByte";
                         });

TEST_F(BootSignedTest, EachDeviceValidWithItsOwnSerialNumberAndMacInTheRegions) {
  const std::vector<uint8_t> app = SignedApp(7);
  const std::vector<uint8_t> image = Signed(app, "3.0.1", 1);
  const size_t headerSize = HeaderOf(image).size();
  BootSimProcess sim;
  StartKeyed(sim);
  for (uint8_t device = 1; device <= 3; ++device) {
    SCOPED_TRACE("device " + std::to_string(device));
    std::vector<uint8_t> written = app, line = image;
    for (size_t i = 0; i < 8; ++i) written[16 + i] = static_cast<uint8_t>('0' + device + i);
    for (size_t i = 0; i < 6; ++i) written[100 + i] = static_cast<uint8_t>(0x02 + device * i);
    std::copy(written.begin(), written.end(), line.begin() + static_cast<long>(headerSize));
    ASSERT_TRUE(FlashSigned(line, device % 2 == 0));
    EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(written), "3.0.1", 1));
    EXPECT_EQ(Slice(Read(FlashFile()), 0, written.size()), written);
  }
}

// Never-written flash that reads all 0x00, and a slot whose complement does not hold (a
// write cut short), count as no value; each such page is erased when the counter rises.
TEST_F(BootSignedTest, ACounterPageOfZerosOrAHalfWrittenSlotHoldsNoValue) {
  std::vector<uint8_t> half = Slot(40);
  half[4] = 0xFF;  // the complement's first byte never written
  for (const auto& pages : {std::vector<std::vector<uint8_t>>{{}, {}}, {half, {}}, {{}, half}}) {
    std::vector<uint8_t> flash(kSignedPage * kPages, 0xFF);
    for (size_t p = 0; p < 2; ++p) {
      std::fill(flash.begin() + kCounterAt + p * kSignedPage, flash.begin() + kCounterAt + (p + 1) * kSignedPage,
                pages[p].empty() ? 0x00 : 0xFF);
      std::copy(pages[p].begin(), pages[p].end(), flash.begin() + kCounterAt + p * kSignedPage);
    }
    Write("flash.bin", flash);
    const std::vector<uint8_t> app = SignedApp(8);
    BootSimProcess sim;
    EXPECT_EQ(StartKeyed(sim), Nothing(0));
    ASSERT_TRUE(FlashSigned(Signed(app, "1.0.0", 3), true));
    EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(app), "1.0.0", 3));
    const std::vector<uint8_t> after = Read(FlashFile());
    const std::vector<uint8_t> first = Slice(after, kCounterAt, kSignedPage),
                               second = Slice(after, kCounterAt + kSignedPage, kSignedPage);
    const std::vector<uint8_t>& written = Slice(first, 0, 8) == Slot(3) ? first : second;
    const std::vector<uint8_t>& other = &written == &first ? second : first;
    EXPECT_EQ(Slice(written, 0, 8), Slot(3));
    EXPECT_EQ(other, std::vector<uint8_t>(kSignedPage, 0xFF));
  }
}

TEST_F(BootSignedTest, ADeviceWithTwoKeysForARotationTakesTheImagesOfEither) {
  const std::vector<uint8_t> app = SignedApp(9);
  BootSimProcess sim;
  EXPECT_EQ(StartKeyed(sim, {"--key", Path("other.pub")}), Nothing(0));
  for (const char* key : {"other", "vendor"}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(FlashSigned(Signed(app, "1.0.0", 1, key), true));
    EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(app), "1.0.0", 1));
  }
}

TEST_F(BootSignedTest, RefusesThreeKeysAKeyOfAnotherSizeOrTooFewPagesForTheCounter) {
  Write("short.pub", std::vector<uint8_t>(31, 1));
  const std::string vendor = Path("vendor.pub"), other = Path("other.pub");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--key", vendor, "--key", other, "--key", vendor},
        std::vector<std::string>{"--key", Path("short.pub")}, std::vector<std::string>{"--key", Path("none.pub")},
        std::vector<std::string>{"--key", vendor, "--pages", "3"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    BootSimProcess sim;
    std::vector<std::string> all{"--link", Link(), "--flash", Path("keys.bin")};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_TRUE(sim.Start(all));
    EXPECT_EQ(sim.WaitForExit(5000), 2);
  }
}

}  // namespace
