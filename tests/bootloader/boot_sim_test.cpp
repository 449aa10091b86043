// fwflash-cli and the reference bootloader's simulation: the whole conversation, the sync
// window, the refusals that erase nothing, and per-device serial numbers.
#include <filesystem>

#include "tests/bootloader/boot_fixture.h"

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t n) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + from + n);
}

TEST_F(BootTest, FlashesByteForByteAndWritesTheValidRecordLast) {
  const std::vector<uint8_t> first = App(200, 1), second = App(kMaxApp, 2);
  const std::string image = Image("first", first);
  const std::vector<uint8_t> imageBytes = Read(image);
  ASSERT_EQ(imageBytes.size(), 208u);
  EXPECT_EQ(Slice(imageBytes, 0, 8), (std::vector<uint8_t>{'F', 'W', 'B', '1', 208, 0, 0, 0}));

  BootSimProcess sim;
  EXPECT_EQ(StartSim(sim), Invalid());
  const ProgramResult run = Flash(image);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(Link() + ": ok, 208 bytes in "), std::string::npos) << run.out;
  EXPECT_EQ(Json(sim.NextLine()), Valid(first));

  const std::vector<uint8_t> flash = Read(FlashFile());
  ASSERT_EQ(flash.size(), kPageSize * kPages);
  EXPECT_EQ(Slice(flash, 0, 200), first);
  EXPECT_EQ(Slice(flash, 200, 24), std::vector<uint8_t>(24, 0xFF)) << "the last page's rest stays erased";
  const uint32_t crc = Crc32(first.data(), first.size());
  EXPECT_EQ(Slice(flash, kMaxApp, 12),
            (std::vector<uint8_t>{200, 0, 0, 0, uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16),
                                  uint8_t(crc >> 24), 'V', 'L', 'D', '1'}));

  // A working device still takes a new application through the window after its reset,
  // up to the whole area.
  FlashValid(sim, "second", second);
}

TEST_F(BootTest, AValidApplicationStartsAfterTheWindowAndThenAnswersNoSync) {
  const std::vector<uint8_t> app = App(100, 3);
  Install(app);
  BootSimProcess sim;
  ASSERT_TRUE(sim.Start(SimArgs({"--window-ms", "20"})));
  EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  EXPECT_EQ(Json(sim.NextLine()), json({{"started", true}}));
  const ProgramResult run = Flash(Image("other", App(100, 4)));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(Read(FlashFile()).size(), kPageSize * kPages);
  EXPECT_EQ(Slice(Read(FlashFile()), 0, 100), app);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link()))) << "the link stays behind";
}

TEST_F(BootTest, RefusesAnImageWithoutHeaderOrTooLongBeforeErasingAnything) {
  const std::vector<uint8_t> app = App(150, 5);
  BootSimProcess sim;
  StartSim(sim);
  FlashValid(sim, "app", app);
  const std::vector<uint8_t> before = Read(FlashFile());

  std::vector<uint8_t> tooLong = Read(Image("long", App(kMaxApp + 1, 6)));
  std::vector<uint8_t> empty{'F', 'W', 'B', '1', 8, 0, 0, 0, 0xFF};  // a header that claims no application
  std::vector<uint8_t> liar = Read(Image("liar", App(64, 7)));
  liar[5] = 0x10;  // says 4104 bytes
  for (const std::string& image : {Write("raw.bin", app), Write("long.bin", tooLong), Write("empty.bin", empty),
                                   Write("liar.bin", liar)}) {
    SCOPED_TRACE(image);
    const ProgramResult run = Flash(image);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(": failed at byte 9 of "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Unknown command from device!"), std::string::npos) << run.out;
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
    EXPECT_EQ(Read(FlashFile()), before);
  }
  FlashValid(sim, "again", App(90, 8));  // the refusals left the device answering
}

TEST_F(BootTest, EachDeviceGetsItsOwnSerialNumberAndItsOwnCrc) {
  const std::vector<uint8_t> app = App(120, 9);
  std::vector<uint8_t> blank = app;
  std::fill(blank.begin() + 16, blank.begin() + 20, 0xFF);  // the serial number's placeholder
  const std::string image = Image("serial", blank);
  std::vector<json> states;
  for (uint8_t serial : {1, 2}) {
    BootSimProcess sim;
    StartSim(sim);
    const ProgramResult run = Flash(image, {"--record", Path("records.sqlite"), "--serial-at", "16",
                                            "--serial-format", "u32le"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::vector<uint8_t> expected = blank;
    std::copy_n(std::vector<uint8_t>{serial, 0, 0, 0}.begin(), 4, expected.begin() + 16);
    states.push_back(Json(sim.NextLine()));
    EXPECT_EQ(states.back(), Valid(expected));
    EXPECT_EQ(Slice(Read(FlashFile()), 0, 120), expected);
  }
  EXPECT_NE(states[0]["crc32"], states[1]["crc32"]);
}

TEST_F(BootTest, RefusesAFlashFileOfAnotherSizeAndBadOptions) {
  Write("flash.bin", std::vector<uint8_t>(100, 0xFF));
  BootSimProcess sim;
  ASSERT_TRUE(sim.Start({"--link", Link(), "--flash", FlashFile()}));
  EXPECT_EQ(sim.WaitForExit(5000), 2);
  EXPECT_EQ(Read(FlashFile()).size(), 100u);
  BootSimProcess badPage;
  ASSERT_TRUE(badPage.Start({"--link", Link(), "--flash", Path("other.bin"), "--page-size", "8"}));
  EXPECT_EQ(badPage.WaitForExit(5000), 2);
}

}  // namespace
