// Flashing with fwflash-cli: stations in parallel, every way a conversation can end, the
// refusals that send nothing, and the list of ports.
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "tests/cli/cli_fixture.h"
#include "tests/support/pseudo_terminal_pair.h"

namespace {

const std::string kFirmware = std::string(FWFLASH_SOURCE_DIR) + "/payload/firmware.bin";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class CliFlashTest : public CliTest {};

TEST_F(CliFlashTest, FourStationsFlashAtOnceAndOneFailingDeviceFailsTheRun) {
  for (bool oneFails : {true, false}) {
    devices_.clear();
    std::vector<std::string> args;
    for (size_t i = 0; i < 4; ++i) {
      std::vector<std::string> options{"--expect", kFirmware};
      if (oneFails && i == 3) options = {"--fault", "request@51=none"};
      StartDevice(i, options);
      args.insert(args.end(), {"--port", Link(i)});
    }
    ProgramResult run = RunCli(args);
    EXPECT_EQ(run.status, oneFails ? 1 : 0) << run.out << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(DeviceExit(i), 0) << "station " << i << " did not get the image byte for byte";
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(Link(i) + ": ok, 3612 bytes in ", 0) == 0;
      })) << run.out;
    }
    if (oneFails) {
      EXPECT_TRUE(Contains(lines, Link(3) + ": failed at byte 51 of 3612: Cannot read from comm port!"))
          << run.out;
      EXPECT_EQ(lines.back().rfind("summary: 3 passed, 1 failed", 0), 0u) << run.out;
    } else {
      EXPECT_EQ(DeviceExit(3), 0);
      EXPECT_EQ(lines.back().rfind("summary: 4 passed, 0 failed", 0), 0u) << run.out;
    }
  }
}

TEST_F(CliFlashTest, PlainOutputHasNoCarriageReturnsAndAtMostOneProgressLinePerTenth) {
  StartDevice(0, {"--expect", kFirmware});
  ProgramResult run = RunCli({"--port", Link(0)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find_first_of("\r\033"), std::string::npos);
  const std::vector<std::string> lines = Lines(run.out);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find(" % (") != std::string::npos; }),
            9) << run.out;
}

struct Ending {
  const char* name;
  const char* fault;
  std::vector<std::string> messages;
  unsigned byte;        // where it stopped
  const char* step;     // the JSON result's step
  std::string reason;   // the result line's words, when they are not the messages
};

void PrintTo(const Ending& ending, std::ostream* out) { *out << ending.name; }

class CliEndingTest : public CliTest, public testing::WithParamInterface<Ending> {};

// The image's third byte, where the data faults strike, is 0xFF.
const std::vector<uint8_t> kShortImage{0x11, 0x80, 0xFF, 0xA5, 0x13};
const std::string kRead = "Cannot read from comm port!";
const std::string kEof = "Cannot send EOF to device!";

TEST_P(CliEndingTest, EndsWithTheDesktopProgramsMessagesInOrder) {
  const std::string image = WriteFile("image", kShortImage);
  for (bool json : {false, true}) {
    devices_.clear();
    StartDevice(0, {"--size", "5", "--fault", GetParam().fault});
    std::vector<std::string> args{"--port", Link(0), "--firmware", image};
    if (json) args.push_back("--json");
    ProgramResult run = RunCli(args);
    EXPECT_EQ(run.status, 1) << run.out;
    if (!json) {
      std::string expected = Link(0) + ": failed at byte " + std::to_string(GetParam().byte) + " of 5: ";
      for (size_t i = 0; i < GetParam().messages.size() && GetParam().reason.empty(); ++i)
        expected += (i ? " / " : "") + GetParam().messages[i];
      expected += GetParam().reason;
      EXPECT_TRUE(Contains(Lines(run.out), expected)) << run.out;
      continue;
    }
    const std::vector<nlohmann::json> results = Events(run.out, "result");
    ASSERT_EQ(results.size(), 1u) << run.out;
    EXPECT_EQ(results[0]["ok"], false);
    EXPECT_EQ(results[0]["byte"], GetParam().byte);
    EXPECT_EQ(results[0]["step"], GetParam().step);
    EXPECT_EQ(results[0]["messages"], GetParam().messages);
    EXPECT_EQ(results[0]["size"], 5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, CliEndingTest,
    testing::Values(
        Ending{"NoRequest", "request@3=none", {kRead}, 3, "read-byte", ""},
        Ending{"RequestNot0x80", "request@3=0x81", {"Unknown command from device!"}, 3,
               "unknown-command", ""},
        Ending{"NoEcho", "echo@3=none", {kRead, "0xFF sent, but 0x00 received"}, 3, "echo", ""},
        Ending{"DifferingEcho", "echo@3=0xFE", {"0xFF sent, but 0xFE received"}, 3, "echo", ""},
        Ending{"HangUp", "hang-up@3", {kRead, "0xFF sent, but 0x00 received"}, 3, "echo",
               "the device went away (cable or power)"},
        Ending{"NoEndRequest1", "end-request@1=none", {kRead, kEof}, 5, "end-marker", ""},
        Ending{"EndRequest2Not0x80", "end-request@2=0x81", {kEof}, 5, "end-marker", ""},
        Ending{"NoEndEcho1", "end-echo@1=none", {kRead, "0xFF sent, but 0x00 received", kEof}, 5,
               "end-marker", ""},
        Ending{"DifferingEndEcho2", "end-echo@2=0x7F", {"0xFF sent, but 0x7F received", kEof}, 5,
               "end-marker", ""}),
    [](const testing::TestParamInfo<Ending>& info) { return info.param.name; });

// The handshake waits 100 ms; an acknowledgement after that is the device's answer all the
// same, and its request follows: the device is flashed, not failed with a wrong request.
TEST_F(CliFlashTest, AnAcknowledgementLaterThanTheHandshakeWaitsIsTheDevicesAnswer) {
  const std::string image = WriteFile("image", kShortImage);
  StartDevice(0, {"--expect", image, "--sync-delay-ms", "150"});
  ProgramResult run = RunCli({"--port", Link(0), "--firmware", image, "--json"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(DeviceExit(0), 0) << "the device got its image byte for byte";
  const std::vector<nlohmann::json> results = Events(run.out, "result");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]["ok"], true);
  EXPECT_EQ(results[0]["sync_acknowledged"], false) << "not within the handshake's wait";
}

TEST_F(CliFlashTest, AnUnacknowledgedSyncStillFlashesAndTheResultSaysSo) {
  const std::string image = WriteFile("image", kShortImage);
  const std::vector<std::pair<std::string, std::string>> syncs{
      {"sync=none", kRead}, {"sync=0x11", "Cannot receive ack 0x5a from device!"}};
  for (const auto& [fault, message] : syncs) {
    devices_.clear();
    StartDevice(0, {"--expect", image, "--fault", fault});
    ProgramResult run = RunCli({"--port", Link(0), "--firmware", image, "--json"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(DeviceExit(0), 0);
    const std::vector<nlohmann::json> results = Events(run.out, "result");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]["ok"], true);
    EXPECT_EQ(results[0]["sync_acknowledged"], false);
    EXPECT_EQ(results[0]["messages"], std::vector<std::string>{message});
  }
  devices_.clear();
  StartDevice(0, {"--expect", image, "--fault", "sync=none"});
  ProgramResult run = RunCli({"--port", Link(0), "--firmware", image});
  const std::vector<std::string> lines = Lines(run.out);
  const std::string line = *std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find(": ok, ") != std::string::npos;
  });
  EXPECT_EQ(line.rfind(Link(0) + ": ok, 5 bytes in ", 0), 0u) << line;
  const std::string note = " s (the sync was not acknowledged: " + kRead + ")";
  EXPECT_EQ(line.substr(line.size() - std::min(line.size(), note.size())), note) << line;
}

TEST_F(CliFlashTest, APortThatCannotBeOpenedExitsWith3WhileTheOtherStationFlashes) {
  StartDevice(0, {"--expect", kFirmware});
  ProgramResult run = RunCli({"--port", Link(0), "--port", Dir() + "/missing"});
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_EQ(DeviceExit(0), 0);
  EXPECT_TRUE(Contains(Lines(run.out), Dir() + "/missing: failed at byte 0 of 3612: cannot open " + Dir() +
                                               "/missing: No such file or directory "
                                               "(fwflash-cli --list-ports lists the ports)"))
      << run.out;
}

TEST_F(CliFlashTest, TheLogGetsOneLinePerDevice) {
  StartDevice(0, {"--expect", kFirmware});
  StartDevice(1, {"--fault", "echo@7=0x00"});
  const std::string log = Dir() + "/results.log";
  WriteFile("results.log", {'o', 'l', 'd', '\n'});
  RunCli({"--port", Link(0), "--port", Link(1), "--log", log});
  std::ifstream file(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << "appended to what was there";
  EXPECT_EQ(lines[0], "old");
  for (const std::string& line : {lines[1], lines[2]}) {
    EXPECT_EQ(line[4], '-');
    EXPECT_EQ(line[19], 'Z');
    EXPECT_NE(line.find(" firmware_size=3612 crc32=0x"), std::string::npos) << line;
  }
  const std::string& failed = lines[1].find("result=failed") != std::string::npos ? lines[1] : lines[2];
  EXPECT_NE(failed.find("step=echo byte=7"), std::string::npos) << failed;
}

// What a device that must not be flashed sees: nothing at all.
class CliRefusalTest : public CliTest {
 protected:
  void ExpectRefused(std::vector<std::string> args, const std::string& message) {
    ASSERT_TRUE(device_.Ok());
    args.insert(args.begin(), {"--port", Path()});
    ProgramResult run = RunCli(args);
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    pollfd line{device_.Device(), POLLIN, 0};
    EXPECT_EQ(poll(&line, 1, 0), 0) << "a byte reached the device";
  }
  std::string Path() const { return getenv("FWFLASH_COM1"); }
  PseudoTerminalPair device_;
};

TEST_F(CliRefusalTest, BadImagesAndProgramsAreRefusedBeforeAnyPortIsOpened) {
  ExpectRefused({"--firmware", WriteFile("empty", {})}, "is 0 bytes; it must be 1 to 16388");
  ExpectRefused({"--firmware", WriteFile("big", std::vector<uint8_t>(16389, 1))},
                "is 16389 bytes; it must be 1 to 16388");
  ExpectRefused({"--firmware", Dir() + "/none"}, "cannot open " + Dir() + "/none");
  // An image with the reference header may take 1 MiB from a file; a payload block stays as it is.
  std::vector<uint8_t> headered(1024 * 1024 + 1, 0x11);
  std::copy_n("FWB1", 4, headered.begin());
  ExpectRefused({"--firmware", WriteFile("headered-big", headered)}, "is 1048577 bytes; it must be 1 to 1048576");
  headered.pop_back();
  EXPECT_EQ(RunCli({"--firmware", WriteFile("headered", headered), "--port", Dir() + "/no-such-port"}).status, 3)
      << "taken: only the missing port stops it";
  ExpectRefused({"--from", WriteFile("no-block", {1, 2, 3})}, "no payload block");
  std::vector<uint8_t> program;
  std::ifstream cli(BuildPath("fwflash-cli"), std::ios::binary);
  program.assign(std::istreambuf_iterator<char>(cli), {});
  std::vector<uint8_t> twice = program;
  twice.insert(twice.end(), program.begin(), program.end());
  ExpectRefused({"--from", WriteFile("two-blocks", twice)}, "marks 2 payload blocks");
}

TEST_F(CliRefusalTest, UsageErrorsAreRefused) {
  ExpectRefused({"--bogus"}, "--bogus");
  ExpectRefused({"--count", "2"}, "--count requires --wait");
  ExpectRefused({"--wait", "--count", "0"}, "--count");
  ExpectRefused({"--port", Path()}, "a port is given twice");
  ExpectRefused({"--firmware", kFirmware, "--from", kFirmware}, "excludes");
  ExpectRefused({"--log", Dir() + "/no-such-dir/log"}, "cannot open the log");
  ExpectRefused({"--protocol", "3"}, "--protocol");
  ExpectRefused({"--max-baud", "0"}, "--max-baud");
}

TEST_F(CliFlashTest, TheFirmwareOfAPackedProgramIsSentFromIt) {
  const std::string image = WriteFile("image", kShortImage);
  const std::string packed = Dir() + "/product-cli";
  ProgramResult pack = RunProgram({BuildPath("fwflash-pack"), "set", BuildPath("fwflash-cli"),
                                   "-o", packed, "--firmware", image});
  ASSERT_EQ(pack.status, 0) << pack.err;
  // The packed program sends its own firmware; the shipped one sends it with --from.
  const std::vector<std::vector<std::string>> runs{
      {packed, "--port", Link(0)}, {BuildPath("fwflash-cli"), "--port", Link(0), "--from", packed}};
  for (const std::vector<std::string>& args : runs) {
    devices_.clear();
    StartDevice(0, {"--expect", image});
    ProgramResult run = RunProgram(args);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(DeviceExit(0), 0);
  }
}

TEST_F(CliFlashTest, ListingPortsOpensNoDeviceAndListsNoPseudoTerminal) {
  PseudoTerminalPair terminal;  // one exists now, and must not be listed
  const std::string trace = Dir() + "/trace";
  // The leak checker of a sanitizer build cannot run under a tracer.
  ProgramResult run = RunProgram({"/usr/bin/strace", "-f", "-qq", "-o", trace, "-e",
                                  "trace=open,openat", "-E", "ASAN_OPTIONS=detect_leaks=0",
                                  BuildPath("fwflash-cli"), "--list-ports"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("/dev/pts"), std::string::npos) << run.out;
  std::ifstream opened(trace);
  for (std::string call; std::getline(opened, call);) {
    EXPECT_EQ(call.find("\"/dev/tty"), std::string::npos) << call;
    EXPECT_EQ(call.find("\"/dev/pts"), std::string::npos) << call;
  }
}

}  // namespace
