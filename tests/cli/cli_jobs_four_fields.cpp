// The four-field job's run and its checks, on either engine.
#include <algorithm>

#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 240000;  // a bound for a busy machine, never reached when all is well

}  // namespace

void JobsTest::ExpectFourFieldJob(const std::string& record, const Query& query,
                                  const std::function<Artifacts()>& storeFiles) {
  WriteJob(record);
  const ProgramResult imported = ImportPasswords(40, IsPostgresTarget(record) ? record : Db());
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("40 items added to the list passwords"), std::string::npos) << imported.out;
  EXPECT_NE(imported.out.find(Sha256Hex(Contents(Dir() + "/passwords.txt"))), std::string::npos) << imported.out;

  for (size_t i = 0; i < 4; ++i) StartBoard(i);
  const std::string log = Dir() + "/flash.log";
  BackgroundCli cli(JobRun(0, 4, {"--wait", "--count", "3", "--log", log}), Out(), Err());
  ASSERT_EQ(cli.Exit(kLimitMs), 0) << Contents(Out()) << Contents(Err());
  const std::string jobSha = Sha256Hex(Contents(JobPath()));
  EXPECT_NE(Contents(Out()).find("SHA-256 " + jobSha), std::string::npos) << "the job's identity at the start";

  const std::vector<Given> devices = ReceivedDevices(4);
  ASSERT_EQ(devices.size(), 12u);
  ExpectDistinct(devices);
  std::set<int64_t> serials;
  for (const Given& device : devices) serials.insert(device.serial);
  EXPECT_EQ(*serials.begin(), 100000);
  EXPECT_EQ(*serials.rbegin(), 100011);
  const std::vector<std::string> generated = GivenKeys();
  std::set<std::string> keys(generated.begin(), generated.end()), received;
  for (const Given& device : devices) {
    std::string key = device.key;
    std::transform(key.begin(), key.end(), key.begin(), ::toupper);
    received.insert(key);
    EXPECT_NE(std::find(passwords_.begin(), passwords_.end(), device.password), passwords_.end());
  }
  EXPECT_TRUE(std::includes(keys.begin(), keys.end(), received.begin(), received.end())) << "keys the generator made";
  EXPECT_EQ(Contents(Out()).find("not sent to a device"), std::string::npos)
      << "a station that reached its count runs no generator for a device that never comes";
  EXPECT_EQ(Contents(Out()).find("is low"), Contents(Out()).rfind("is low")) << "the low list told once";

  // Each record holds its device's values, its secrets as fingerprints, and the job.
  const auto rows = query("SELECT serial, fields, job_sha256, CASE WHEN ok THEN 1 ELSE 0 END FROM fwflash_records ORDER BY serial");
  ASSERT_EQ(rows.size(), 12u);
  for (const auto& row : rows) {
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const Given& d) { return std::to_string(d.serial) == row.at(0); });
    ASSERT_NE(device, devices.end()) << row.at(0);
    ExpectFieldsOf(*device, nlohmann::json::parse(row.at(1)));
    EXPECT_EQ(row.at(2), jobSha);
    EXPECT_EQ(row.at(3), "1");
  }

  // A given secret item rests in the store as its SHA-256; the others wait as they are.
  const auto items = query("SELECT item, digest, CASE WHEN given_ms IS NULL THEN 0 ELSE 1 END FROM fwflash_list_items");
  size_t given = 0;
  for (const auto& item : items) {
    if (item.at(2) == "0") continue;
    ++given;
    EXPECT_EQ(item.at(0), item.at(1));
    EXPECT_EQ(item.at(0).size(), 64u);
  }
  EXPECT_EQ(given, 12u);
  const ProgramResult lists = RunCli({"--job", JobPath(), "--lists"});
  EXPECT_NE(lists.out.find("passwords: text:12, secret, 40 items, 12 given, 28 left"), std::string::npos) << lists.out;

  const ProgramResult report = RunCli({"--job", JobPath(), "--report"});
  EXPECT_NE(report.out.find("list passwords: 12 given, 28 left of 40\n"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("counter mac of acme-probe: " + std::to_string(kFirstMac) + " to " +
                            std::to_string(kFirstMac + 8 * 11) + "\n"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("counter serial of acme-probe: 100000 to 100011\n"), std::string::npos) << report.out;
  const ProgramResult csv = RunCli({"--job", JobPath(), "--report", "--csv"});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(csv.out.find(",job_sha256,fields,protocol,baud\r\n"), std::string::npos);
  EXPECT_NE(csv.out.find(jobSha), std::string::npos);
  const ProgramResult json = RunCli({"--job", JobPath(), "--json", "--port", Dir() + "/no-such-port"});
  // The dashboard's API: the records' fields (secrets as fingerprints) and the list's stock.
  std::string api;
  {
    BackgroundCli serve({"--job", JobPath(), "--serve", "127.0.0.1:0"}, Out("serve"), Err("serve"));
    EXPECT_TRUE(AwaitText(Err("serve"), "dashboard is at http://", kLimitMs)) << Contents(Err("serve"));
    const std::string said = Contents(Err("serve"));
    const std::string url = said.substr(said.find("http://"), said.find('\n', said.find("http://")) - said.find("http://"));
    const char* fetch = "import sys, urllib.request\n"
                        "for path in sys.argv[2:]: print(urllib.request.urlopen(sys.argv[1] + path).read().decode())\n";
    const ProgramResult answers = RunProgram({"/usr/bin/python3", "-c", fetch, url, "api/records?limit=100", "api/summary"});
    EXPECT_EQ(answers.status, 0) << answers.err;
    api = answers.out;
    EXPECT_NE(api.find(R"("lists":[{"given":12,"items":40,"kind":"text","left":28,"low":true,"name":"passwords","secret":true}])"),
              std::string::npos) << api;
    EXPECT_NE(api.find(R"("password":"sha256:)"), std::string::npos) << api;
  }
  Artifacts artifacts = storeFiles();
  artifacts.push_back({"the dashboard's API", api});
  artifacts.insert(artifacts.end(), {{"stdout", Contents(Out())}, {"stderr", Contents(Err())}, {"the log", Contents(log)},
                                     {"the CSV", csv.out}, {"a JSON run", json.out + json.err},
                                     {"the spool", Contents(Spool())}, {"the spool's WAL", Contents(Spool() + "-wal")}});
  for (const auto& artifact : artifacts) ExpectNoSecretIn(artifact.first, artifact.second, devices);
}

