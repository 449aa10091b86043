// --port auto: among ports that stay silent, one held by another program and the virtual
// device, only the device is flashed; the others get one sync byte or nothing. In
// station mode devices on any candidate are flashed, and a late acknowledgement is the
// device's answer.
#include <stdlib.h>

#include "tests/cli/cli_fixture.h"
#include "tests/cli/port_fixtures.h"
#include "tests/support/background_program.h"

namespace {

const std::string kFirmware = std::string(FWFLASH_SOURCE_DIR) + "/payload/firmware.bin";
const std::vector<uint8_t> kSyncOnly{0xA5};

class CliAutoTest : public CliTest {
 protected:
  ~CliAutoTest() override { unsetenv("FWFLASH_AUTO_PORTS"); }
  static void Candidates(const std::vector<std::string>& paths) {
    std::string joined;
    for (const std::string& path : paths) joined += (joined.empty() ? "" : ":") + path;
    setenv("FWFLASH_AUTO_PORTS", joined.c_str(), 1);
  }
  std::string Report(size_t i) const { return Dir() + "/report" + std::to_string(i); }
  std::string Output() const { return Dir() + "/out"; }
};

TEST_F(CliAutoTest, OnlyTheDeviceIsFlashedAndTheOtherPortsGetOneSyncOrNothing) {
  BareTerminal silent1, silent2, held;
  HoldingProcess holder(held.Path());
  StartDevice(0, {"--expect", kFirmware});
  Candidates({silent1.Path(), held.Path(), Link(0), silent2.Path()});
  ProgramResult run = RunCli({"--port", "auto"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(DeviceExit(0), 0) << "the device did not get the image byte for byte";
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 11u) << run.out;  // nine tenths, the result, the summary
  EXPECT_EQ(lines[9].rfind(Link(0) + ": ok, 3612 bytes in ", 0), 0u) << run.out;
  EXPECT_EQ(lines[10], "summary: 1 passed, 0 failed");
  EXPECT_EQ(silent1.Arrived(), kSyncOnly);
  EXPECT_EQ(silent2.Arrived(), kSyncOnly);
  EXPECT_TRUE(held.Arrived().empty()) << "a port in use is never touched";
}

TEST_F(CliAutoTest, WithoutAnAnswerItExitsWith3AndAnExcludedPortIsLeftAlone) {
  BareTerminal silent;
  StartDevice(0, {"--expect", kFirmware, "--report", Report(0)});
  Candidates({Link(0), silent.Path()});
  // The device is excluded by its terminal's own path, not the candidate's link.
  ProgramResult run = RunCli({"--port", "auto", "--exclude", devices_[0]->TerminalPath()});
  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                "auto: no device answered the sync (candidates: " + silent.Path() + ")",
                                "summary: 0 passed, 0 failed"}));
  EXPECT_EQ(silent.Arrived(), kSyncOnly);
  EXPECT_EQ(devices_[0]->Stop(), 1) << "the excluded device had no conversation";
}

TEST_F(CliAutoTest, StationModeFlashesDevicesAppearingOnAnyCandidateUntilTheCountTogether) {
  Candidates({Link(0), Link(1), Link(2)});  // none there yet
  BackgroundCli cli({"--port", "auto", "--wait", "--count", "3"}, Output());
  for (size_t i : {1, 0, 2}) {
    StartDevice(i, {"--expect", kFirmware, "--report", Report(i)});
    ASSERT_TRUE(AwaitText(Report(i), "complete_conversations=1", 30000)) << Contents(Output());
  }
  EXPECT_EQ(cli.Exit(20000), 0) << Contents(Output());
  EXPECT_EQ(Lines(Contents(Output())).back().rfind("summary: 3 passed, 0 failed", 0), 0u) << Contents(Output());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(DeviceExit(i), 0) << "device " << i;
}

// A device that acknowledges after the handshake's 100 ms: its answer is taken before
// the next quiet sync, which would otherwise reach it as its first image byte.
TEST_F(CliAutoTest, ALateAcknowledgementInStationModeIsTheDevicesAnswer) {
  const std::string image = WriteFile("image", {0x11, 0xA5, 0x5A, 0x80, 0xFF});
  StartDevice(0, {"--expect", image, "--sync-delay-ms", "150", "--report", Report(0)});
  BackgroundCli cli({"--port", Link(0), "--wait", "--count", "1", "--firmware", image}, Output());
  ASSERT_TRUE(AwaitText(Report(0), "conversation=1", 30000)) << Contents(Output());
  const std::string report = Contents(Report(0));
  EXPECT_NE(report.find("matches_expected=yes"), std::string::npos) << report;
  EXPECT_NE(report.find("received_bytes=8\n"), std::string::npos) << "one sync, 5 bytes, 2 end markers";
  ASSERT_TRUE(AwaitText(Output(), ": ok,", 30000)) << Contents(Output());  // its last echo read
  devices_[0]->Stop();  // unplugged: the station's count is done once it has gone
  EXPECT_EQ(cli.Exit(20000), 0) << Contents(Output());
}

TEST_F(CliAutoTest, AutoGoesAloneAndExcludeOnlyWithIt) {
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--port", "auto", "--port", Link(0)}, "--port auto goes alone"},
           {{"--port", Link(0), "--exclude", Link(1)}, "--exclude needs --port auto"}}) {
    ProgramResult run = RunCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "fwflash-cli: " + message + "\n");
  }
}

}  // namespace
