// Records and serial numbers in a SQLite file, end to end: stations in station mode
// against boards plugged in and out, each device's data as the board received it, the
// records read back by the sqlite3 shell and by `--report --csv`.
#include <dirent.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/cli/cli_records_fixture.h"

namespace {

constexpr int kLimitMs = 240000;  // a bound for a busy machine, never reached when all is well

// The data of every conversation in which a board received bytes, by its files.
std::vector<std::string> ReceivedImages(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> images;
  DIR* folder = opendir(dir.c_str());
  while (dirent* entry = folder != nullptr ? readdir(folder) : nullptr) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix + "-", 0) != 0) continue;
    const std::string bytes = Contents(dir + "/" + name);
    if (!bytes.empty()) images.push_back(bytes);
  }
  if (folder != nullptr) closedir(folder);
  return images;
}

std::set<int64_t> Serials(const std::vector<Device>& devices) {
  std::set<int64_t> serials;
  for (const Device& device : devices)
    if (device.serial) serials.insert(*device.serial);
  return serials;
}

std::set<int64_t> Range(int64_t first, int64_t last) {
  std::set<int64_t> range;
  for (int64_t n = first; n <= last; ++n) range.insert(n);
  return range;
}

std::vector<Device> Sorted(std::vector<Device> devices) {
  std::sort(devices.begin(), devices.end());
  return devices;
}

class CliRecordsTest : public RecordsTest {
 protected:
  std::vector<std::string> Received(size_t board) const { return ReceivedImages(Dir(), "data" + std::to_string(board)); }

  // The devices the SQLite file holds, completed or not.
  std::vector<Device> StoredDevices() const {
    std::vector<Device> devices;
    for (const auto& row : SqliteRows(Db(), "SELECT port, ok, serial FROM fwflash_records"))
      devices.push_back({row.at(0), row.at(1) == "1",
                         row.at(2).empty() ? std::nullopt : std::optional<int64_t>(std::stoll(row.at(2)))});
    return Sorted(devices);
  }
};

TEST_F(CliRecordsTest, FourStationsGiveTwentyDevicesEachItsOwnNumberInItsImageAndRecord) {
  for (size_t i = 0; i < 4; ++i) StartBoard(i);
  const std::string log = Dir() + "/flash.log";
  BackgroundCli cli(SerialRun(0, 4, {"--wait", "--count", "5", "--serial-first", "7000", "--log", log}),
                    Out(), Err());
  ASSERT_EQ(cli.Exit(kLimitMs), 0) << Contents(Out()) << Contents(Err());

  const std::vector<Device> devices = TextResults(Contents(Out()));
  ASSERT_EQ(devices.size(), 20u) << Contents(Out());
  EXPECT_EQ(Serials(devices), Range(7000, 7019)) << "taken one after the other, none twice";
  std::map<std::string, std::vector<int64_t>> byPort;
  for (const Device& device : devices) {
    EXPECT_TRUE(device.ok) << device;
    byPort[device.port].push_back(device.serial.value_or(-1));
  }

  // Each board received the base image with exactly its number in the placeholder.
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(byPort[Link(i)].size(), 5u) << Contents(Out());
    std::vector<std::string> expected;
    for (int64_t serial : byPort[Link(i)]) expected.push_back(AsText(Stamped(serial)));
    std::vector<std::string> received = Received(i);
    std::sort(expected.begin(), expected.end());
    std::sort(received.begin(), received.end());
    EXPECT_TRUE(received == expected) << "board " << i << " received " << received.size()
                                      << " images, not the 5 stamped with its serials";
  }

  // The records match the result lines one to one, with the image as sent.
  EXPECT_EQ(StoredDevices(), Sorted(devices));
  for (const auto& row : SqliteRows(Db(), "SELECT serial, image_crc32, bytes, step, product, end_ms IS NOT NULL "
                                          "FROM fwflash_records")) {
    const int64_t serial = std::stoll(row.at(0));
    EXPECT_EQ(std::stoul(row.at(1)), Crc32(Stamped(serial).data(), kImageSize)) << serial;
    EXPECT_EQ(row.at(2), "600");
    EXPECT_EQ(row.at(3), "");
    EXPECT_EQ(row.at(4), "probe");
    EXPECT_EQ(row.at(5), "1") << "completed";
  }

  // The CSV report, as Python's csv module reads it.
  const std::vector<std::vector<std::string>> rows = ReportCsv(Db());
  ASSERT_EQ(rows.size(), 20u);
  std::vector<Device> listed;
  std::set<std::string> ids;
  const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    ASSERT_EQ(row.size(), 22u);
    EXPECT_EQ(row[20] + " " + row[21], "1 9600") << "the virtual device speaks the first protocol";
    listed.push_back(CsvDevice(row));
    ids.insert(row[0]);
    EXPECT_TRUE(std::regex_match(row[0], uuid)) << row[0];
    EXPECT_TRUE(std::regex_match(row[1], time) && std::regex_match(row[2], time)) << row[1] << " " << row[2];
    EXPECT_EQ(row[5], "probe");
    EXPECT_EQ(row[7], "600");
    EXPECT_EQ(row[8], Crc32Text(BaseImage()));
    EXPECT_EQ(row[9], Crc32Text(Stamped(std::stoll(row[10]))));
    EXPECT_EQ(row[11] + "|" + row[12] + "|" + row[13] + "|" + row[14], "ok|||600");
    EXPECT_EQ(row[16], "true");
    if (r > 0) {
      EXPECT_LE(std::tie(rows[r - 1][1], rows[r - 1][0]), std::tie(row[1], row[0])) << "by start, then id";
    }
  }
  EXPECT_EQ(ids.size(), 20u);
  EXPECT_EQ(Sorted(listed), Sorted(devices));

  // The log's lines carry the same numbers.
  std::set<int64_t> logged;
  for (const std::string& line : Lines(Contents(log))) {
    const size_t at = line.find(" serial=");
    if (at != std::string::npos) logged.insert(std::stoll(line.substr(at + 8)));
  }
  EXPECT_EQ(logged, Range(7000, 7019)) << Contents(log);
}

TEST_F(CliRecordsTest, TwoProcessesOnOneNewFileNeverGiveANumberTwice) {
  for (size_t i = 0; i < 4; ++i) StartBoard(i);
  // Both start at once on a file that is not there yet: both make or find its schema.
  BackgroundCli first(SerialRun(0, 2, {"--wait", "--count", "3", "--json"}), Out("a"), Err("a"));
  BackgroundCli second(SerialRun(2, 2, {"--wait", "--count", "3", "--json"}), Out("b"), Err("b"));
  ASSERT_EQ(first.Exit(kLimitMs), 0) << Contents(Out("a")) << Contents(Err("a"));
  ASSERT_EQ(second.Exit(kLimitMs), 0) << Contents(Out("b")) << Contents(Err("b"));

  std::vector<Device> devices = JsonResults(Contents(Out("a")));
  const std::vector<Device> others = JsonResults(Contents(Out("b")));
  ASSERT_EQ(devices.size(), 6u);
  ASSERT_EQ(others.size(), 6u);
  devices.insert(devices.end(), others.begin(), others.end());
  EXPECT_EQ(Serials(devices), Range(1, 12)) << "distinct, and no block kept back by either";
  EXPECT_EQ(StoredDevices(), Sorted(devices));
}

TEST_F(CliRecordsTest, AUsedUpBlockEndsTheRunAndNoDeviceAfterItGetsAByte) {
  StartBoard(0);
  StartBoard(1);
  BackgroundCli cli(SerialRun(0, 2, {"--wait", "--json", "--serial-first", "1", "--serial-last", "3"}),
                    Out(), Err());
  const int status = cli.Exit(kLimitMs);
  EXPECT_GE(status, 1) << Contents(Out());
  ASSERT_NE(status, -1) << "the run ends by itself: " << Contents(Out());
  const std::string out = Contents(Out());
  const std::vector<Device> devices = JsonResults(out);
  EXPECT_EQ(Serials(devices), Range(1, 3)) << out;
  EXPECT_EQ(devices.size(), 3u) << out;
  ASSERT_EQ(Events(out, "serials").size(), 1u) << out;
  EXPECT_NE(Events(out, "serials")[0]["message"].get<std::string>().find("used up"), std::string::npos);
  EXPECT_GE(Events(out, "summary").at(0)["exit_code"].get<int>(), 1);
  // A station that synced a board while another took the last number leaves that board
  // with its handshake only: no data byte reaches a device after the block ran out.
  EXPECT_EQ(Received(0).size() + Received(1).size(), 3u) << "only the three numbered devices got data";

  // A later run on the same used-up block flashes no device either.
  BackgroundCli again(SerialRun(0, 2, {"--wait", "--json", "--serial-last", "3"}), Out("again"), Err("again"));
  EXPECT_GE(again.Exit(kLimitMs), 1) << Contents(Out("again"));
  EXPECT_TRUE(JsonResults(Contents(Out("again"))).empty()) << Contents(Out("again"));
  EXPECT_EQ(Received(0).size() + Received(1).size(), 3u);

  // A new block above the counter moves it up; one below is ignored. (Boards that
  // were only synced wait for a conversation's end; fresh ones are used.)
  StartBoard(2);
  StartBoard(3);
  BackgroundCli next(SerialRun(2, 1, {"--wait", "--count", "1", "--json", "--serial-first", "500"}),
                     Out("next"), Err("next"));
  EXPECT_EQ(next.Exit(kLimitMs), 0) << Contents(Out("next"));
  BackgroundCli lower(SerialRun(3, 1, {"--wait", "--count", "1", "--json", "--serial-first", "2"}),
                      Out("lower"), Err("lower"));
  EXPECT_EQ(lower.Exit(kLimitMs), 0) << Contents(Out("lower"));
  EXPECT_EQ(Serials(JsonResults(Contents(Out("next")))), Range(500, 500));
  EXPECT_EQ(Serials(JsonResults(Contents(Out("lower")))), Range(501, 501));
}

TEST_F(CliRecordsTest, ADeviceThatFailsKeepsItsNumberOnItsRecordAndTheNextGetsANewOne) {
  StartBoard(0, {"--fault", "echo@300"});  // every conversation breaks at byte 300
  const std::vector<std::string> once = SerialRun(0, 1, {"--serial-first", "41"});
  const ProgramResult first = RunCli(once), second = RunCli(once);
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(second.status, 1);
  const std::string prefix = Link(0) + ": failed at byte 300 of 600, serial ";
  EXPECT_NE(first.out.find("\n" + prefix + "41: "), std::string::npos) << first.out;
  EXPECT_NE(second.out.find("\n" + prefix + "42: "), std::string::npos) << second.out;

  const std::vector<std::vector<std::string>> rows = ReportCsv(Db());
  ASSERT_EQ(rows.size(), 2u);
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    ASSERT_EQ(row.size(), 22u);
    EXPECT_EQ(row[10], std::to_string(41 + r));
    EXPECT_EQ(row[9], Crc32Text(Stamped(41 + r))) << "the image as sent";
    EXPECT_EQ(row[11] + "|" + row[12] + "|" + row[13] + "|" + row[14], "failed|echo|300|299");
    EXPECT_FALSE(row[2].empty()) << "completed, not interrupted";
    EXPECT_FALSE(row[17].empty());
    EXPECT_NE((r == 0 ? first : second).out.find(": " + row[17] + "\n"), std::string::npos)
        << "the messages as the result line shows them";
  }
}

}  // namespace
