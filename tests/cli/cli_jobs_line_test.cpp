// Production jobs on a line's PostgreSQL server: two PCs sharing a list and a MAC
// counter, and a run killed again and again.
#include <set>

#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 240000;  // a bound for a busy machine, never reached when all is well

// The MAC of each device the server's records hold, by the record's fields.
std::vector<std::string> FieldValues(const PostgresServer& server, const std::string& field) {
  std::vector<std::string> values;
  for (const auto& row : server.Query("SELECT fields::json->>'" + field + "' FROM fwflash_records")) values.push_back(row.at(0));
  return values;
}

TEST_F(JobsPostgresTest, TwoPcsShareAListAndAMacCounterAndGiveNothingTwice) {
  WriteJob(server_.Uri());
  ASSERT_EQ(ImportPasswords(30, server_.Uri()).status, 0);
  for (size_t i = 0; i < 6; ++i) StartBoard(i);
  BackgroundCli pcA(JobRun(0, 3, {"--wait", "--count", "3", "--pc", "A", "--json"}), Out("A"), Err("A"));
  BackgroundCli pcB(JobRun(3, 3, {"--wait", "--count", "3", "--pc", "B", "--json"}), Out("B"), Err("B"));
  ASSERT_EQ(pcA.Exit(kLimitMs), 0) << Contents(Out("A")) << Contents(Err("A"));
  ASSERT_EQ(pcB.Exit(kLimitMs), 0) << Contents(Out("B")) << Contents(Err("B"));
  const std::vector<Given> devices = ReceivedDevices(6);
  ASSERT_EQ(devices.size(), 18u);
  ExpectDistinct(devices);
  const std::vector<std::string> macs = FieldValues(server_, "mac");
  EXPECT_EQ(std::set<std::string>(macs.begin(), macs.end()).size(), 18u);
  EXPECT_EQ(server_.Query("SELECT count(*) FROM fwflash_list_items WHERE given_ms IS NOT NULL"),
            (std::vector<std::vector<std::string>>{{"18"}}));
}

// Killed at varied moments, five times: after each restart no item or value is given
// twice, and every record's values are its own.
}  // namespace

void JobsTest::ExpectKilledRunsGiveNoItemTwice(const std::string& record, const std::string& importTo,
                                               const Query& query) {
  WriteJob(record);
  ASSERT_EQ(ImportPasswords(60, importTo).status, 0);
  for (size_t i = 0; i < 2; ++i) StartBoard(i);
  for (int round = 0; round < 5; ++round) {
    const std::string name = "run" + std::to_string(round);
    BackgroundCli cli(JobRun(0, 2, {"--wait", "--json"}), Out(name), Err(name));
    // Killed after a varied count of results: 1 to 3 of this round, mid-conversation or no
    const size_t before = ReceivedDevices(2, true).size();
    ASSERT_TRUE(AwaitCondition([&] { return JsonResults(Contents(Out(name))).size() >= size_t(1 + round % 3); }, kLimitMs))
        << Contents(Out(name)) << Contents(Err(name));
    if (round % 2 == 1) AwaitCondition([&] { return ReceivedDevices(2, true).size() > before + 1; }, 200);
    cli.Signal(SIGKILL);
    EXPECT_EQ(cli.Exit(kLimitMs), BackgroundCli::kEndedBySignal);
  }
  const auto given = query("SELECT count(*), count(DISTINCT digest) FROM fwflash_list_items WHERE given_ms IS NOT NULL");
  EXPECT_EQ(given.at(0).at(0), given.at(0).at(1));
  // Each record's values are its own: serials, MACs and passwords' fingerprints distinct.
  const auto records = query("SELECT serial, fields FROM fwflash_records");
  std::set<std::string> serials, macs, passwords;
  for (const auto& row : records) {
    const nlohmann::json fields = nlohmann::json::parse(row.at(1));
    serials.insert(row.at(0));
    macs.insert(fields.value("mac", ""));
    passwords.insert(fields.value("password", ""));
  }
  EXPECT_EQ(serials.size(), records.size());
  EXPECT_EQ(macs.size(), records.size());
  EXPECT_EQ(passwords.size(), records.size());
  EXPECT_EQ(std::to_string(records.size()), given.at(0).at(0)) << "each item given is on one record";
  const auto counts = query("SELECT given, items FROM fwflash_lists");
  EXPECT_EQ(counts.at(0).at(0), given.at(0).at(0)) << "the list's count agrees with its items";
  for (const auto& row : query("SELECT count(*) FROM fwflash_list_items WHERE given_ms IS NOT NULL AND item <> digest"))
    EXPECT_EQ(row.at(0), "0") << "a given secret item rests as its SHA-256";
}

namespace {

TEST_F(JobsPostgresTest, KilledRunsGiveNoItemTwice) {
  ExpectKilledRunsGiveNoItemTwice(server_.Uri(), server_.Uri(), ServerQuery());
}

class CliJobsKillTest : public JobsTest {};

TEST_F(CliJobsKillTest, KilledRunsOnSqliteGiveNoItemTwiceAndLeaveASoundFile) {
  const auto query = [&](const std::string& sql) { return SqliteRows(Db(), sql); };
  ExpectKilledRunsGiveNoItemTwice("../records.sqlite", Db(), query);
  EXPECT_EQ(query("PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
  EXPECT_EQ(SqliteRows(Spool(), "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
}

}  // namespace
