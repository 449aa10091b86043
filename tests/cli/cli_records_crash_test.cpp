// fwflash-cli killed (SIGKILL) at varied moments of a run with records and serial
// numbers: whatever result it printed has its record, the SQLite file stays sound, and
// after the restart no number is given twice.
#include <set>

#include "tests/cli/cli_records_fixture.h"

namespace {

size_t CountEvents(const std::string& out, const std::string& kind, int atLeastPercent = 0) {
  size_t count = 0;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_discarded() && event["event"] == kind &&
        (atLeastPercent == 0 || event.value("percent", 0) >= atLeastPercent))
      ++count;
  }
  return count;
}

struct KillMoment {
  const char* what;
  const char* event;  // killed once this many of these events were printed
  size_t count;
  int percent;  // progress events: at least this far
};

class CliRecordsCrashTest : public RecordsTest {
 protected:
  // The completed records: port, ok and serial.
  std::multiset<Device> CompletedRecords() const {
    std::multiset<Device> devices;
    for (const auto& row : SqliteRows(Db(), "SELECT port, ok, serial FROM fwflash_records WHERE end_ms IS NOT NULL"))
      devices.insert({row.at(0), row.at(1) == "1", std::stoll(row.at(2))});
    return devices;
  }
};

TEST_F(CliRecordsCrashTest, AKilledRunLosesNoReportedRecordAndGivesNoNumberTwice) {
  // Boards at 9600 baud, so that a transfer lasts long enough to be cut in the middle.
  // After each kill they are plugged in anew, as an operator takes out a board whose
  // flash was cut off (it would still be waiting in its conversation).
  const auto plugBoards = [this] {
    devices_.clear();
    StartBoard(0, {"--baud-emulation"});
    StartBoard(1, {"--baud-emulation"});
  };
  const KillMoment moments[] = {
      {"after the first device began", "start", 1, 0},
      {"after one result", "result", 1, 0},
      {"in the middle of a transfer", "progress", 1, 50},
      {"after two results", "result", 2, 0},
      {"after three results", "result", 3, 0},
  };
  std::vector<Device> reported;
  for (const KillMoment& moment : moments) {
    SCOPED_TRACE(moment.what);
    const std::string name = std::string("run") + std::to_string(&moment - moments);
    plugBoards();
    BackgroundCli cli(SerialRun(0, 2, {"--wait", "--json"}), Out(name), Err(name));
    ASSERT_TRUE(AwaitCondition([&] { return CountEvents(Contents(Out(name)), moment.event, moment.percent) >= moment.count; },
                               300000))
        << Contents(Out(name)) << Contents(Err(name));
    cli.Signal(SIGKILL);
    ASSERT_EQ(cli.Exit(30000), BackgroundCli::kEndedBySignal);

    const std::vector<Device> printed = JsonResults(Contents(Out(name)));
    reported.insert(reported.end(), printed.begin(), printed.end());
    const std::multiset<Device> stored = CompletedRecords();
    for (const Device& device : printed) EXPECT_EQ(stored.count(device), 1u) << "no record for " << device;
    EXPECT_EQ(SqliteRows(Db(), "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
  }

  // A run to its end after the kills.
  plugBoards();
  BackgroundCli last(SerialRun(0, 2, {"--wait", "--count", "2", "--json"}), Out("last"), Err("last"));
  ASSERT_EQ(last.Exit(300000), 0) << Contents(Out("last")) << Contents(Err("last"));
  const std::vector<Device> finished = JsonResults(Contents(Out("last")));
  reported.insert(reported.end(), finished.begin(), finished.end());

  std::set<int64_t> serials;
  for (const Device& device : reported) {
    ASSERT_TRUE(device.serial.has_value()) << device;
    EXPECT_TRUE(serials.insert(*device.serial).second) << "serial " << *device.serial << " given twice";
  }
  // Every number taken is on one record, completed or cut off by a kill: no gap
  // without a record, none twice.
  const auto counts = SqliteRows(Db(), "SELECT count(serial), count(DISTINCT serial), max(serial) - min(serial) + 1, "
                                       "min(serial) FROM fwflash_records");
  EXPECT_EQ(counts.at(0), (std::vector<std::string>{counts[0][0], counts[0][0], counts[0][0], "1"}));
  EXPECT_EQ(ReportCsv(Db()).size(), std::stoul(counts[0][0]));
  EXPECT_EQ(SqliteRows(Db(), "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
}

}  // namespace
