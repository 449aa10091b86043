// fwflash-cli's choice of protocol against the reference bootloader's simulation: frames
// for a device that answers the probe, today's conversation for every other, and nothing
// new for a raw image.
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <tuple>

#include "tests/bootloader/boot_fixture.h"
#include "tests/support/background_program.h"
#include "tests/support/pseudo_terminal_pair.h"

namespace {

class CliProtocolTest : public BootTest {
 protected:
  // fwflash-cli as it chooses, without the fixture's byte-for-byte protocol.
  ProgramResult Cli(std::vector<std::string> args) const {
    args.insert(args.begin(), BuildPath("fwflash-cli"));
    return RunProgram(args);
  }
  static std::vector<json> Events(const std::string& out, const std::string& kind) {
    std::vector<json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      const json event = Json(line);
      if (event.value("event", "") == kind) events.push_back(event);
    }
    return events;
  }
  // The run's one result event; null when there is not exactly one.
  static json OnlyResult(const std::string& out) {
    const std::vector<json> results = Events(out, "result");
    EXPECT_EQ(results.size(), 1u) << out;
    return results.size() == 1 ? results[0] : json();
  }
  // The CSV rows of the store's records, each as its fields by heading.
  std::vector<std::map<std::string, std::string>> Records(const std::string& store) const {
    const ProgramResult csv = Cli({"--report", "--csv", "--record", store});
    EXPECT_EQ(csv.status, 0) << csv.err;
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(csv.out);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> fields;
      std::istringstream cells(line.substr(0, line.find('\r')));
      for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
      rows.push_back(fields);
    }
    std::vector<std::map<std::string, std::string>> records;
    for (size_t i = 1; i < rows.size(); ++i) {
      std::map<std::string, std::string> record;
      for (size_t c = 0; c < rows[0].size() && c < rows[i].size(); ++c) record[rows[0][c]] = rows[i][c];
      records.push_back(record);
    }
    return records;
  }
};

class CliFramesTest : public CliProtocolTest, public testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CliFramesTest, AHeaderedImageGoesInFramesAtTheHighestRateAndItsRecordSaysSo) {
  BootSimProcess sim;
  ASSERT_EQ(StartSim(sim), Invalid());
  const std::vector<uint8_t> app = App(kMaxApp, 3);
  std::vector<std::string> args{"--port", Link(), "--firmware", Image("framed", app), "--json",
                                "--record", Path("records.sqlite")};
  args.insert(args.end(), GetParam().begin(), GetParam().end());
  // Under auto a loaded machine may delay the simulation's answer past the probe's wait,
  // and auto rightly goes on in protocol 1: the run is repeated, a bounded number of
  // times, until the answer came in time.
  ProgramResult run;
  json result = json::object();
  for (int tries = 0; tries < 10 && result.value("protocol", 0) != 2; ++tries) {
    std::remove(Path("records.sqlite").c_str());
    run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
    result = OnlyResult(run.out);
  }
  EXPECT_EQ(result["protocol"], 2);
  EXPECT_EQ(result["baud"], 2000000);
  EXPECT_EQ(result["bytes"], app.size() + 8) << "the header is counted with the first frame";
  EXPECT_GT(result.value("bytes_per_s", 0.0), 0);
  EXPECT_EQ(Events(run.out, "rate"),
            (std::vector<json>{{{"event", "rate"}, {"port", Link()}, {"label", nullptr}, {"from", 9600},
                                {"to", 2000000}, {"taken", true}}}));
  // Progress steps per frame: the header and whole pages, never a byte between.
  for (const json& progress : Events(run.out, "progress"))
    EXPECT_EQ((progress["bytes"].get<unsigned>() - 8) % kPageSize, 0u) << progress;
  const auto records = Records(Path("records.sqlite"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("protocol"), "2");
  EXPECT_EQ(records[0].at("baud"), "2000000");
  EXPECT_EQ(records[0].at("result"), "ok");
}

INSTANTIATE_TEST_SUITE_P(Choices, CliFramesTest,
                         testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--protocol", "2"},
                                         std::vector<std::string>{"--protocol", "auto", "--max-baud", "2000000"}));

// A device's serial number is stamped into its image before the image is framed: the
// device's check of the whole application is against the stamped bytes.
TEST_F(CliProtocolTest, TheSerialNumberIsInTheFramesAndTheDevicesCheck) {
  std::vector<uint8_t> blank = App(300, 10);
  std::fill(blank.begin() + 16, blank.begin() + 20, 0xFF);  // the placeholder: application byte 16, image byte 24
  const std::string image = Image("serial", blank);
  for (uint8_t serial : {1, 2}) {
    std::remove(FlashFile().c_str());
    BootSimProcess sim;
    ASSERT_EQ(StartSim(sim), Invalid());
    const ProgramResult run = Cli({"--port", Link(), "--firmware", image, "--protocol", "2", "--record",
                                   Path("records.sqlite"), "--serial-at", "16", "--serial-format", "u32le"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::vector<uint8_t> expected = blank;
    expected[16] = serial;
    std::fill(expected.begin() + 17, expected.begin() + 20, 0);
    EXPECT_EQ(Json(sim.NextLine()), Valid(expected)) << "serial " << int{serial};
  }
}

TEST_F(CliProtocolTest, MaxBaudCapsTheRateAndTheTextSaysTheChange) {
  BootSimProcess sim;
  ASSERT_EQ(StartSim(sim), Invalid());
  const std::vector<uint8_t> app = App(300, 4);
  const ProgramResult run =
      Cli({"--port", Link(), "--firmware", Image("capped", app), "--max-baud", "999999", "--protocol", "2"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  EXPECT_NE(run.out.find(Link() + ": rate 9600 to 921600 baud\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(protocol 2, 921600 baud)"), std::string::npos) << run.out;
}

TEST_F(CliProtocolTest, ARateTheDeviceDoesNotHearIsToldAndTheNextLowerIsTaken) {
  BootSimProcess sim;
  ASSERT_EQ(StartSim(sim, {"--deaf-baud", "2000000"}), Invalid());
  const std::vector<uint8_t> app = App(300, 11);
  const ProgramResult run = Cli({"--port", Link(), "--firmware", Image("deaf", app), "--json", "--protocol", "2"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  std::vector<std::tuple<int, int, bool>> rates;
  for (const json& rate : Events(run.out, "rate")) rates.emplace_back(rate["from"], rate["to"], rate["taken"]);
  EXPECT_EQ(rates, (std::vector<std::tuple<int, int, bool>>{{9600, 2000000, false}, {9600, 1000000, true}}));
  EXPECT_EQ(OnlyResult(run.out)["baud"], 1000000);
}

TEST_F(CliProtocolTest, ADeviceOfTheFirstProtocolIsFlashedByteByByteUnderAutoAndFailsUnderTwo) {
  BootSimProcess sim;
  ASSERT_EQ(StartSim(sim, {"--protocol", "1"}), Invalid());
  const std::vector<uint8_t> app = App(200, 5);
  const std::string image = Image("first", app);
  const ProgramResult required = Cli({"--port", Link(), "--firmware", image, "--protocol", "2", "--json"});
  EXPECT_EQ(required.status, 1) << required.out;
  json failed = OnlyResult(required.out);
  EXPECT_EQ(failed["step"], "read-byte") << "told as a sync without an answer";
  EXPECT_EQ(failed["messages"], json::array({"Cannot read from comm port!"}));
  EXPECT_EQ(failed["protocol"], 1);

  const ProgramResult run = Cli({"--port", Link(), "--firmware", image, "--json"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  json result = OnlyResult(run.out);
  EXPECT_EQ(result["protocol"], 1);
  EXPECT_EQ(result["baud"], 9600);
  EXPECT_EQ(result["sync_acknowledged"], true);
  EXPECT_TRUE(Events(run.out, "rate").empty());
}

// What reaches a device that never answers: its bytes, read on its own end of the line.
class CliWireTest : public CliProtocolTest {
 protected:
  std::vector<uint8_t> BytesSent(const std::vector<uint8_t>& image, std::vector<std::string> more) {
    PseudoTerminalPair line;
    EXPECT_TRUE(line.Ok());
    std::vector<std::string> args{"--port", getenv("FWFLASH_COM1"), "--firmware", Write("image", image)};
    args.insert(args.end(), more.begin(), more.end());
    EXPECT_EQ(Cli(args).status, 1);
    std::vector<uint8_t> bytes;
    uint8_t chunk[64];
    pollfd device{line.Device(), POLLIN, 0};
    for (ssize_t n; poll(&device, 1, 0) > 0 && (n = read(line.Device(), chunk, sizeof chunk)) > 0;)
      bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
  }
};

TEST_F(CliWireTest, ARawImageGetsTheSyncAloneAndAProbeOnlyWhenAsked) {
  const std::vector<uint8_t> raw = App(100, 6);
  EXPECT_EQ(BytesSent(raw, {}), std::vector<uint8_t>{0xA5}) << "no probe byte for a raw image";
  EXPECT_EQ(BytesSent(raw, {"--protocol", "1"}), std::vector<uint8_t>{0xA5});
  EXPECT_EQ(BytesSent(raw, {"--protocol", "auto"}), (std::vector<uint8_t>{0x3F, 0xA5}));
  EXPECT_EQ(BytesSent(raw, {"--protocol", "2"}), std::vector<uint8_t>{0x3F});
  std::vector<uint8_t> headered = raw;
  std::copy_n("FWB1", 4, headered.begin());
  EXPECT_EQ(BytesSent(headered, {}), (std::vector<uint8_t>{0x3F, 0xA5})) << "a headered image probes first";
}

// --port auto finds a protocol-2 device by the probe; a port that gives no answer gets
// the sync 50 ms later, two bytes in all, and under protocol 1 the sync alone.
TEST_F(CliWireTest, PortAutoProbesEveryCandidateAndSyncsOnlyThoseWithoutAnAnswer) {
  for (const char* protocol : {"auto", "1"}) {
    std::remove(FlashFile().c_str());
    BootSimProcess sim;
    ASSERT_EQ(StartSim(sim), Invalid());
    PseudoTerminalPair foreign;
    setenv("FWFLASH_AUTO_PORTS", (std::string(getenv("FWFLASH_COM1")) + ":" + Link()).c_str(), 1);
    const std::vector<uint8_t> app = App(300, 8);
    const ProgramResult run = Cli({"--port", "auto", "--firmware", Image("auto", app), "--protocol", protocol, "--json"});
    unsetenv("FWFLASH_AUTO_PORTS");
    ASSERT_EQ(run.status, 0) << protocol << run.out << run.err;
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
    // Under auto the simulation's answer may come after the probe's wait on a loaded
    // machine: either protocol flashes it, and the foreign port's bytes are the same.
    const int used = OnlyResult(run.out)["protocol"];
    if (protocol == std::string("1")) EXPECT_EQ(used, 1);
    else EXPECT_TRUE(used == 1 || used == 2) << used;
    std::vector<uint8_t> bytes(8);
    pollfd device{foreign.Device(), POLLIN, 0};
    ASSERT_GT(poll(&device, 1, 0), 0);
    bytes.resize(static_cast<size_t>(std::max<ssize_t>(read(foreign.Device(), bytes.data(), bytes.size()), 0)));
    const std::vector<uint8_t> expected =
        protocol == std::string("auto") ? std::vector<uint8_t>{0x3F, 0xA5} : std::vector<uint8_t>{0xA5};
    EXPECT_EQ(bytes, expected) << protocol;
  }
}

// A USB adapter that holds the device's answers is told once, with what it costs.
TEST_F(CliProtocolTest, AHighLatencyTimerIsToldOnceAndIsNoFailure) {
  BootSimProcess sim;
  ASSERT_EQ(StartSim(sim), Invalid());
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(Link().c_str(), resolved), nullptr);
  const std::string name = std::string(resolved).substr(std::string(resolved).rfind('/') + 1);
  const std::string folder = Path("sys/bus/usb-serial/devices/" + name);
  ASSERT_EQ(RunProgram({"/bin/mkdir", "-p", folder}).status, 0);
  const std::vector<uint8_t> app = App(300, 9);
  const std::string image = Image("slow", app);
  setenv("FWFLASH_SYSFS_ROOT", Path("sys").c_str(), 1);
  for (const char* timer : {"1", "16"}) {
    std::ofstream(folder + "/latency_timer") << timer << "\n";
    const ProgramResult run = Cli({"--port", Link(), "--firmware", image, "--json"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
    const std::vector<json> told = Events(run.out, "latency");
    if (timer == std::string("1")) {
      EXPECT_TRUE(told.empty()) << "fwflash's own low-latency request gives 1 ms";
      continue;
    }
    ASSERT_EQ(told.size(), 1u) << run.out;
    EXPECT_EQ(told[0]["latency_ms"], 16);
    EXPECT_NE(told[0]["message"].get<std::string>().find("/sys/bus/usb-serial/devices/" + name + "/latency_timer"),
              std::string::npos) << told[0];
  }
  unsetenv("FWFLASH_SYSFS_ROOT");
}

// Station mode takes one protocol-2 device after the other, each unplugged once its
// result is told.
TEST_F(CliProtocolTest, AStationFlashesTwoDevicesInFramesOneAfterTheOther) {
  const std::vector<uint8_t> app = App(kMaxApp, 7);
  BackgroundCli cli({"--port", Link(), "--firmware", Image("station", app), "--wait", "--count", "2"}, Path("out"));
  for (int device = 1; device <= 2; ++device) {
    std::remove(FlashFile().c_str());  // a new device, its flash erased
    BootSimProcess sim;
    ASSERT_EQ(StartSim(sim), Invalid());
    EXPECT_EQ(Json(sim.NextLine(20000)), Valid(app)) << "device " << device;
    // The device reports before the station has told its result: unplug only after it.
    for (int waited = 0; waited < 20000; waited += 20) {
      std::ifstream out(Path("out"));
      const std::string text((std::istreambuf_iterator<char>(out)), {});
      size_t results = 0;
      for (size_t at = text.find(": ok, "); at != std::string::npos; at = text.find(": ok, ", at + 1)) ++results;
      if (results == static_cast<size_t>(device)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  EXPECT_EQ(cli.Exit(20000), 0);
  std::ifstream out(Path("out"));
  const std::string text((std::istreambuf_iterator<char>(out)), {});
  EXPECT_NE(text.find("summary: 2 passed, 0 failed"), std::string::npos) << text;
  EXPECT_NE(text.find("(protocol 2, 2000000 baud)"), std::string::npos) << text;
}

// A cable pulled in the middle of a frame: the station tells it, and flashes the next
// device plugged in.
TEST_F(CliProtocolTest, ACablePulledMidFrameIsToldAndTheNextDeviceIsFlashed) {
  const std::vector<uint8_t> app = App(kMaxApp, 12);
  BackgroundCli cli({"--port", Link(), "--firmware", Image("pulled", app), "--wait", "--count", "2", "--json"},
                    Path("out"));
  const auto awaitEvents = [this](const std::string& kind, size_t count) {
    for (int waited = 0; waited < 20000; waited += 10) {
      std::ifstream out(Path("out"));
      const std::string text((std::istreambuf_iterator<char>(out)), {});
      if (Events(text.substr(0, text.rfind('\n') + 1), kind).size() >= count) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
  };
  {
    BootSimProcess pulled;  // pages take long enough to pull the cable in the middle
    ASSERT_EQ(StartSim(pulled, {"--page-ms", "200"}), Invalid());
    ASSERT_FALSE(awaitEvents("progress", 1).empty());
    pulled.Kill();
    pulled.WaitForExit(5000);
  }
  const std::string failed = awaitEvents("result", 1);
  ASSERT_FALSE(failed.empty());
  json result = Events(failed, "result")[0];
  EXPECT_EQ(result["ok"], false);
  EXPECT_EQ(result["protocol"], 2);
  EXPECT_EQ(result["cause"], "gone") << result;
  std::remove(FlashFile().c_str());
  BootSimProcess next;
  ASSERT_EQ(StartSim(next), Invalid());
  EXPECT_EQ(Json(next.NextLine(20000)), Valid(app));
  const std::string both = awaitEvents("result", 2);
  ASSERT_FALSE(both.empty());
  EXPECT_EQ(Events(both, "result")[1]["ok"], true);
  next.Stop();  // unplugged: the station's count is done once its device has gone
  EXPECT_EQ(cli.Exit(20000), 1) << "one device failed";
}

}  // namespace
