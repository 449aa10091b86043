// A job's numbers as its fields show them: a MAC block shown as MAC addresses and the
// serial field as hex, in the records' fields, the CSV and the report's ranges, on both
// engines; the serial number itself stays a decimal everywhere.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 120000;  // a bound for a busy machine, never reached when all is well

const char kMacs[] = "00:50:C2:00:00:00 00:50:C2:00:00:08 00:50:C2:00:00:10";

}  // namespace

void JobsTest::ExpectShownNumbers(const std::string& record, const Query& query) {
  mkdir((Dir() + "/job").c_str(), 0700);
  WriteFile("job/acme.bin", JobImage());
  WriteFile("job/acme.toml", Bytes("product = \"acme-probe\"\nfirmware = \"acme.bin\"\n"
                                   "record = \"" + record + "\"\nspool = \"../spool.sqlite\"\n"
                                   "\n[[field]]\nname = \"serial\"\nat = 0x180\nformat = \"u32le\"\nshow = \"hex\"\n"
                                   "counter = { first = 100000, last = 199999 }\n"
                                   "\n[[field]]\nname = \"mac\"\nat = 0x184\nformat = \"u48be\"\nshow = \"mac\"\n"
                                   "counter = { first = 0x0050C2000000, last = 0x0050C2000FFF, step = 8 }\n"));
  StartBoard(0);
  BackgroundCli cli(JobRun(0, 1, {"--wait", "--count", "3", "--json"}), Out(), Err());
  ASSERT_EQ(cli.Exit(kLimitMs), 0) << Contents(Out()) << Contents(Err());
  std::vector<int64_t> macs;
  for (const Given& device : ReceivedDevices(1)) macs.push_back(device.mac);
  std::sort(macs.begin(), macs.end());
  EXPECT_EQ(macs, (std::vector<int64_t>{kFirstMac, kFirstMac + 8, kFirstMac + 16})) << "the bytes as before";
  std::vector<int64_t> serials;
  for (const Device& device : JsonResults(Contents(Out()))) serials.push_back(device.serial.value_or(-1));
  EXPECT_EQ(serials, (std::vector<int64_t>{100000, 100001, 100002})) << "JSON's serial stays a decimal";

  std::string shown;
  for (const auto& row : query("SELECT serial, fields FROM fwflash_records ORDER BY serial")) {
    const nlohmann::json fields = nlohmann::json::parse(row.at(1));
    shown += (shown.empty() ? "" : " ") + fields.value("mac", "");
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08llX", std::stoull(row.at(0)));
    EXPECT_EQ(fields.value("serial", ""), hex) << "the serial column stays a decimal: " << row.at(0);
  }
  EXPECT_EQ(shown, kMacs);

  const ProgramResult csv = RunCli({"--job", JobPath(), "--report", "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::vector<std::vector<std::string>> rows =
      CsvRows(WriteFile("report.csv", std::vector<uint8_t>(csv.out.begin(), csv.out.end())));
  ASSERT_EQ(rows.size(), 4u) << csv.out;
  std::set<std::string> csvSerials, csvFields;
  for (size_t i = 1; i < rows.size(); ++i) {
    csvSerials.insert(rows[i].at(10));
    csvFields.insert(rows[i].at(19));
  }
  EXPECT_EQ(csvSerials, (std::set<std::string>{"100000", "100001", "100002"}));
  EXPECT_EQ(csvFields, (std::set<std::string>{R"({"serial":"0x000186A0","mac":"00:50:C2:00:00:00"})",
                                              R"({"serial":"0x000186A1","mac":"00:50:C2:00:00:08"})",
                                              R"({"serial":"0x000186A2","mac":"00:50:C2:00:00:10"})"}));

  const ProgramResult report = RunCli({"--job", JobPath(), "--report"});
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("counter mac of acme-probe: 00:50:C2:00:00:00 to 00:50:C2:00:00:10\n"), std::string::npos)
      << report.out;
  EXPECT_NE(report.out.find("counter serial of acme-probe: 100000 to 100002\n"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("Serial numbers: 100000 to 100002, on 3 records\n"), std::string::npos) << report.out;
}

namespace {

class CliJobsShowTest : public JobsTest {};

TEST_F(CliJobsShowTest, AMacBlockIsShownAsMacAddressesOnSqlite) {
  ExpectShownNumbers("../records.sqlite", [&](const std::string& sql) { return SqliteRows(Db(), sql); });
}

TEST_F(JobsPostgresTest, AMacBlockIsShownAsMacAddressesOnPostgresql) {
  ExpectShownNumbers(server_.Uri(), ServerQuery());
}

}  // namespace
