// A production line on a private PostgreSQL server: two PCs of four stations sharing a
// database neither has seen, and a server that goes away in the middle of a run and
// comes back.
#include <map>
#include <set>

#include "tests/cli/cli_records_fixture.h"
#include "tests/support/postgres_server.h"

namespace {

constexpr int kLimitMs = 300000;  // a bound for a busy machine, never reached when all is well

struct PcDevice {
  std::string pc;
  Device device;
  bool operator<(const PcDevice& other) const {
    return std::tie(pc, device) < std::tie(other.pc, other.device);
  }
  bool operator==(const PcDevice& other) const { return pc == other.pc && device == other.device; }
};

std::ostream& operator<<(std::ostream& out, const PcDevice& device) { return out << device.pc << " " << device.device; }

class CliRecordsLineTest : public RecordsTest {
 protected:
  void SetUp() override {
    RecordsTest::SetUp();
    ASSERT_TRUE(server_.Start(false)) << server_.Failure();
  }

  // A PC's run on stations first..first+count-1, with its own spool.
  std::vector<std::string> PcRun(const std::string& pc, size_t first, size_t count, bool serials) {
    std::vector<std::string> args = {"--firmware", Image(), "--record", server_.Uri(), "--spool",
                                     Dir() + "/spool-" + pc, "--pc", pc, "--product", "probe",
                                     "--wait", "--json"};
    if (serials) args.insert(args.end(), {"--serial-at", std::to_string(kSerialAt), "--serial-format", "u32le"});
    for (size_t i = first; i < first + count; ++i) args.insert(args.end(), {"--port", Link(i)});
    return args;
  }

  // Every record, completed or not: a device cut off or a station stopped while it
  // waited would show here without a result.
  std::multiset<PcDevice> Stored() const {
    std::multiset<PcDevice> stored;
    for (const auto& row : server_.Query("SELECT pc, port, ok, serial FROM fwflash_records")) {
      stored.insert({row.at(0), {row.at(1), row.at(2) == "t",
                                 row.at(3).empty() ? std::nullopt : std::optional<int64_t>(std::stoll(row.at(3)))}});
    }
    return stored;
  }

  static void Add(std::multiset<PcDevice>& devices, const std::string& pc, const std::string& out) {
    for (const Device& device : JsonResults(out)) devices.insert({pc, device});
  }

  PostgresServer server_;
};

TEST_F(CliRecordsLineTest, TwoPcsOnANewDatabaseNeverGiveANumberTwiceAndRecordEachDeviceOnce) {
  for (size_t i = 0; i < 8; ++i) StartBoard(i);
  std::vector<std::string> a = PcRun("A", 0, 4, true), b = PcRun("B", 4, 4, true);
  for (auto* run : {&a, &b}) run->insert(run->end(), {"--count", "3"});
  BackgroundCli pcA(a, Out("A"), Err("A"));
  BackgroundCli pcB(b, Out("B"), Err("B"));
  ASSERT_EQ(pcA.Exit(kLimitMs), 0) << Contents(Out("A")) << Contents(Err("A"));
  ASSERT_EQ(pcB.Exit(kLimitMs), 0) << Contents(Out("B")) << Contents(Err("B"));

  std::multiset<PcDevice> reported;
  Add(reported, "A", Contents(Out("A")));
  Add(reported, "B", Contents(Out("B")));
  ASSERT_EQ(reported.size(), 24u);
  std::set<int64_t> serials;
  for (const PcDevice& device : reported) {
    EXPECT_TRUE(device.device.ok) << device;
    serials.insert(device.device.serial.value_or(-1));
  }
  EXPECT_EQ(serials.size(), 24u) << "a number given twice";
  EXPECT_EQ(*serials.begin(), 1);
  EXPECT_EQ(*serials.rbegin(), 24) << "numbers taken one after the other";
  EXPECT_EQ(Stored(), reported) << "each device recorded once, on its PC";
  EXPECT_EQ(server_.Query("SELECT count(*) FROM fwflash_records").at(0).at(0), "24");
  EXPECT_EQ(ReportCsv(server_.Uri()).size(), 24u);
}

// Events of one kind in a run's output, with the line each is on.
std::vector<std::pair<size_t, nlohmann::json>> Numbered(const std::string& out, const std::string& kind) {
  std::vector<std::pair<size_t, nlohmann::json>> events;
  std::istringstream in(out);
  size_t number = 0;
  for (std::string line; std::getline(in, line); ++number) {
    nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_discarded() && event["event"] == kind) events.emplace_back(number, event);
  }
  return events;
}

size_t Results(const std::string& path) { return JsonResults(Contents(path)).size(); }

TEST_F(CliRecordsLineTest, AnOutageLosesNoRecordStationsWithNumbersWaitAndOthersFlashOn) {
  for (size_t i = 0; i < 4; ++i) StartBoard(i);
  // S gives serial numbers on stations 0 and 1, N only keeps records on 2 and 3.
  BackgroundCli serials(PcRun("S", 0, 2, true), Out("S"), Err("S"));
  BackgroundCli plain(PcRun("N", 2, 2, false), Out("N"), Err("N"));
  ASSERT_TRUE(AwaitCondition([&] { return Results(Out("S")) >= 4 && Results(Out("N")) >= 4; }, kLimitMs))
      << Contents(Out("S")) << Contents(Out("N"));

  ASSERT_TRUE(server_.Pause());
  // Both find the store gone; the stations without numbers flash on meanwhile.
  ASSERT_TRUE(AwaitText(Out("S"), R"("event":"store","ok":false)", kLimitMs)) << Contents(Out("S"));
  ASSERT_TRUE(AwaitText(Out("N"), R"("event":"store","ok":false)", kLimitMs)) << Contents(Out("N"));
  const size_t plainAtOutage = Results(Out("N"));
  ASSERT_TRUE(AwaitCondition([&] { return Results(Out("N")) >= plainAtOutage + 4; }, kLimitMs))
      << "stations without serial numbers never stop:\n" << Contents(Out("N"));
  const size_t serialsInOutage = Results(Out("S"));

  ASSERT_TRUE(server_.Resume());
  ASSERT_TRUE(AwaitText(Out("S"), R"("event":"store","ok":true)", kLimitMs)) << Contents(Out("S"));
  ASSERT_TRUE(AwaitText(Out("N"), R"("event":"store","ok":true)", kLimitMs)) << Contents(Out("N"));
  ASSERT_TRUE(AwaitCondition([&] { return Results(Out("S")) >= serialsInOutage + 4 && Results(Out("N")) >= plainAtOutage + 8; },
                             kLimitMs))
      << "stations with serial numbers go on:\n" << Contents(Out("S"));
  serials.Signal(SIGTERM);
  plain.Signal(SIGTERM);
  const int serialsExit = serials.Exit(60000), plainExit = plain.Exit(60000);
  EXPECT_TRUE(serialsExit == 0 || serialsExit == 1) << serialsExit;
  EXPECT_TRUE(plainExit == 0 || plainExit == 1) << plainExit;

  const std::string outS = Contents(Out("S")), outN = Contents(Out("N"));
  // While the store was away, S started no device with a number beyond those it had in
  // hand (one per station, begun just before it went).
  const auto store = Numbered(outS, "store");
  const size_t down = store.front().first;
  size_t back = down;
  for (const auto& [line, event] : store)
    if (back == down && event["ok"] == true) back = line;
  size_t startedInOutage = 0;
  for (const auto& [line, event] : Numbered(outS, "start"))
    if (line > down && line < back && !event["serial"].is_null()) ++startedInOutage;
  EXPECT_LE(startedInOutage, 2u) << outS;
  for (const Device& device : JsonResults(outS))
    EXPECT_TRUE(!device.ok || device.serial.has_value()) << "flashed without its number: " << device;

  // Every record reported is in the store exactly once, the spooled ones delivered.
  std::multiset<PcDevice> reported;
  Add(reported, "S", outS);
  Add(reported, "N", outN);
  EXPECT_EQ(Stored(), reported);
  const auto perId = server_.Query("SELECT count(*), count(DISTINCT id) FROM fwflash_records");
  EXPECT_EQ(perId.at(0).at(0), perId.at(0).at(1));
  EXPECT_EQ(Events(outS, "summary").at(0)["spooled"], 0) << outS;
  EXPECT_EQ(Events(outN, "summary").at(0)["spooled"], 0) << outN;
  uint64_t delivered = 0;
  for (const auto& [line, event] : Numbered(outN, "store"))
    if (event["ok"] == true) delivered += event["delivered"].get<uint64_t>();
  EXPECT_GE(delivered, 4u) << "the devices flashed in the outage came from the spool";
  const auto serialRows = server_.Query("SELECT count(serial), count(DISTINCT serial) FROM fwflash_records");
  EXPECT_EQ(serialRows.at(0).at(0), serialRows.at(0).at(1)) << "a number given twice";
}

}  // namespace
