// Bytes that a board cut off in mid-conversation left in the port wait there before
// fwflash-cli opens it: they are never taken for the next device's answer, in one-shot
// mode and in station mode.
#include "tests/cli/cli_fixture.h"
#include "tests/support/background_program.h"

namespace {

// An acknowledgement and a request, in both orders: the answer and the request that the
// first sync would otherwise seem to get.
const std::vector<std::string> kLeftovers{"5A80", "805A"};

class CliLeftoverTest : public CliTest {
 protected:
  std::string Image() { return WriteFile("image", {0x11, 0xA5, 0x5A, 0x80, 0xFF}); }
  std::string Report(size_t i) const { return Dir() + "/report" + std::to_string(i); }
};

TEST_F(CliLeftoverTest, OneShotFlashesTheNextDeviceByteForByte) {
  const std::string image = Image();
  for (size_t i = 0; i < kLeftovers.size(); ++i) {
    StartDevice(i, {"--expect", image, "--leftover", kLeftovers[i]});
    ProgramResult run = RunCli({"--port", Link(i), "--firmware", image});
    EXPECT_EQ(run.status, 0) << kLeftovers[i] << ": " << run.out << run.err;
    EXPECT_EQ(DeviceExit(i), 0) << kLeftovers[i] << ": the device did not get the image byte for byte";
  }
}

TEST_F(CliLeftoverTest, StationModeFlashesTheNextDeviceByteForByte) {
  const std::string image = Image();
  for (size_t i = 0; i < kLeftovers.size(); ++i) {
    StartDevice(i, {"--expect", image, "--leftover", kLeftovers[i], "--report", Report(i)});
    const std::string output = Dir() + "/out" + std::to_string(i);
    BackgroundCli cli({"--port", Link(i), "--wait", "--count", "1", "--firmware", image}, output);
    ASSERT_TRUE(AwaitText(Report(i), "conversation=1", 30000)) << Contents(output);
    EXPECT_NE(Contents(Report(i)).find("matches_expected=yes"), std::string::npos)
        << kLeftovers[i] << ": " << Contents(Report(i)) << Contents(output);
    // The device reports before the station has read its last echo: unplugged earlier,
    // the station would rightly see it go away in the middle.
    ASSERT_TRUE(AwaitText(output, ": ok,", 30000)) << Contents(output);
    devices_[i]->Stop();  // unplugged: the station's count is done once it has gone
    EXPECT_EQ(cli.Exit(20000), 0) << Contents(output);
  }
}

}  // namespace
