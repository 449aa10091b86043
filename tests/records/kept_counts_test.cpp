// The counts kept beside the records: a summary read from them is the summary of the
// records themselves, counted here one record at a time, whatever wrote them and however.
#include <chrono>
#include <map>
#include <random>
#include <thread>
#include <tuple>

#include "records/kept_counts.h"
#include "store_test_support.h"

namespace {

constexpr int64_t kHour = 3600000;
constexpr int64_t kDay = 86400000;
constexpr int64_t kDay0 = 1796688000000;  // 2026-12-08T00:00:00Z
constexpr int64_t kLeast = std::numeric_limits<int64_t>::min();
constexpr int64_t kMost = std::numeric_limits<int64_t>::max();

// The summary of [since, until) counted from the records one by one.
RecordSummary CountedOneByOne(RecordStore& store, int64_t since, int64_t until) {
  std::map<std::tuple<std::string, uint32_t, uint32_t>, OutcomeCount> products;
  std::map<std::pair<std::string, std::string>, OutcomeCount> stations;
  std::map<std::string, uint64_t> steps;
  std::map<int64_t, OutcomeCount> hours;
  RecordSummary summary;
  RecordQuery query;
  query.sinceMs = since;
  query.untilMs = until;
  std::string error;
  EXPECT_TRUE(store.ReadRecords(query, [&](const DeviceRecord& r) {
    auto add = [&](OutcomeCount& count) { ++(r.ok ? count.passed : count.failed); };
    add(summary.total);
    add(products[{r.product, r.firmwareSize, r.firmwareCrc32}]);
    add(stations[{r.pc, r.port}]);
    add(hours[r.startMs - ((r.startMs % kHour) + kHour) % kHour]);
    if (!r.ok) ++steps[r.step];
    if (!r.serial) return;
    ++summary.serials;
    summary.lowestSerial = std::min(summary.lowestSerial.value_or(*r.serial), *r.serial);
    summary.highestSerial = std::max(summary.highestSerial.value_or(*r.serial), *r.serial);
  }, error)) << error;
  for (const auto& [key, count] : products)
    summary.products.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), count});
  for (const auto& [key, count] : stations) summary.stations.push_back({key.first, key.second, count});
  for (const auto& [step, failed] : steps) summary.failedSteps.push_back({step, failed});
  for (const auto& [hour, count] : hours) summary.hours.push_back({hour, count});
  return summary;
}

// Every figure of a summary as one text, so that a difference shows where it is.
std::string Text(const RecordSummary& s) {
  auto count = [](const OutcomeCount& c) { return std::to_string(c.passed) + "/" + std::to_string(c.failed); };
  std::string text = "total " + count(s.total) + " serials " + std::to_string(s.serials) + " " +
                     std::to_string(s.lowestSerial.value_or(-1)) + ".." +
                     std::to_string(s.highestSerial.value_or(-1)) + "\n";
  for (const auto& p : s.products)
    text += p.product + " " + std::to_string(p.firmwareSize) + " " + std::to_string(p.firmwareCrc32) +
            " " + count(p.count) + "\n";
  for (const auto& station : s.stations) text += station.pc + " " + station.port + " " + count(station.count) + "\n";
  for (const auto& step : s.failedSteps) text += step.step + " " + std::to_string(step.failed) + "\n";
  for (const auto& hour : s.hours) text += std::to_string(hour.startMs) + " " + count(hour.count) + "\n";
  return text;
}

class KeptCountsTest : public EngineTest {
 protected:
  // The store's summary equals the records' own, with and without its hours, for ranges
  // that start and end inside hours, on hour and day boundaries, and unbounded.
  void ExpectSummariesOfTheRecords(RecordStore& store) {
    std::vector<std::pair<int64_t, int64_t>> ranges = {
        {kLeast, kMost}, {kDay0, kDay0 + kDay}, {kDay0 + 17 * 60000, kDay0 + 43 * 60000},
        {kDay0 - kDay + 5 * kHour + 1234, kDay0 + kDay + 7 * kHour + 99}, {kDay0 + kHour - 1, kMost},
        {kLeast, kDay0 + 2 * kDay - 1}, {kDay0 + 3 * kHour, kDay0 + 3 * kHour}};
    std::mt19937_64 random(7);
    for (int i = 0; i < 12; ++i) {
      const int64_t a = kDay0 - kDay + static_cast<int64_t>(random() % (4 * kDay));
      const int64_t b = kDay0 - kDay + static_cast<int64_t>(random() % (4 * kDay));
      ranges.emplace_back(std::min(a, b), std::max(a, b));
    }
    for (const auto& [since, until] : ranges) {
      const RecordSummary expected = CountedOneByOne(store, since, until);
      RecordSummary summary, withoutHours;
      std::string error;
      ASSERT_TRUE(store.Summarize(since, until, summary, error)) << error;
      EXPECT_EQ(Text(summary), Text(expected)) << "from " << since << " to " << until;
      ASSERT_TRUE(store.Summarize(since, until, withoutHours, error, false)) << error;
      RecordSummary expectedWithoutHours = expected;
      expectedWithoutHours.hours.clear();
      EXPECT_EQ(Text(withoutHours), Text(expectedWithoutHours)) << "from " << since << " to " << until;
    }
  }
};

// Attempts of several stations over three days as a line writes them: begun (some with
// a serial number), then completed as passed or failed, some left interrupted, some
// delivered from a spool (once or twice, with or without their interrupted copy in the
// store, an older copy after the newer), some completed at another station.
void WriteALine(RecordStore& store, int attempts, unsigned seed, const std::string& pc) {
  std::mt19937 random(seed);
  const AttemptDraws block = SerialDraws("acme-probe", 1, false, kMost);
  const char* const steps[] = {"read-byte", "sync", "erase"};
  for (int i = 0; i < attempts; ++i) {
    DeviceRecord record = AnAttempt(kDay0 - kDay + static_cast<int64_t>(random() % (3 * kDay)),
                                    "/dev/ttyUSB" + std::to_string(random() % 3));
    record.pc = pc;
    if (random() % 4 == 0) {
      record.product = "beta";
      record.firmwareCrc32 = 0xBE7A;
    }
    const unsigned kind = random() % 10;
    std::string error;
    if (kind < 8) {
      ASSERT_EQ(store.BeginAttempt(record, random() % 3 != 0 ? &block : nullptr, error), BeginResult::Begun) << error;
      if (kind == 0) continue;  // left interrupted
    }
    const DeviceRecord interrupted = record;
    record.endMs = record.startMs + 2000;
    record.ok = random() % 5 != 0;
    record.step = record.ok ? "" : steps[random() % 3];
    if (kind == 9) record.serial = static_cast<int64_t>(100000 + i);  // a spooled one of a store that gave it
    ASSERT_TRUE(store.SaveRecord(record, error)) << error;
    if (kind >= 8) {
      ASSERT_TRUE(store.SaveRecord(record, error)) << error;  // delivered twice
    }
    if (kind == 7) {
      ASSERT_TRUE(store.SaveRecord(interrupted, error)) << error;  // an older copy late
    }
    if (kind == 6) {  // the same attempt completed again, at another station and hour
      record.port = "/dev/ttyACM0";
      record.startMs += kHour;
      record.serial = record.serial ? std::optional<int64_t>(*record.serial + 500000) : std::nullopt;
      ASSERT_TRUE(store.SaveRecord(record, error)) << error;
    }
  }
}

TEST_P(KeptCountsTest, TheSummaryFromTheCountsIsTheSummaryOfTheRecordsHoweverTheyWereWritten) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  WriteALine(*store, 160, 1, "line-pc-1");
  ExpectSummariesOfTheRecords(*store);

  // Records taken away by hand: among them each station's largest serial number.
  ASSERT_EQ(Sql("DELETE FROM fwflash_records WHERE serial IN (SELECT max(serial) FROM fwflash_records "
                "GROUP BY port) OR id IN (SELECT id FROM fwflash_records ORDER BY id LIMIT 10)"), "");
  ExpectSummariesOfTheRecords(*store);
}

TEST_P(KeptCountsTest, ProcessesWritingAtOnceKeepEveryRecordsCountOnce) {
  ASSERT_TRUE(Open());
  InProcessesAtOnce(4, [&](int i) {  // two PCs, two processes each, on the same ports and hours
    std::string error;
    std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error);
    if (store) WriteALine(*store, 40, 100 + i, "line-pc-" + std::to_string(i % 2));
    return store && !testing::Test::HasFailure();
  });
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  ExpectSummariesOfTheRecords(*store);
}

// A store kept before the counts existed: the counts' own tables gone, its schema put
// without the counts' version.
TEST_P(KeptCountsTest, RecordsKeptBeforeTheCountsAreCountedWhenTheStoreIsOpened) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  WriteALine(*store, 60, 2, "line-pc-1");
  const std::string dropTrigger = GetParam() == Engine::Sqlite
      ? "DROP TRIGGER fwflash_counts_insert; DROP TRIGGER fwflash_counts_delete; "
        "DROP TRIGGER fwflash_counts_complete; DROP TRIGGER fwflash_counts_move;"
      : "DROP FUNCTION fwflash_keep_counts() CASCADE;";
  ASSERT_EQ(Sql(dropTrigger + " DROP TABLE fwflash_counts; DROP TABLE fwflash_failed_steps; "
                "DELETE FROM fwflash_schema WHERE version = 3"), "");
  WriteALine(*store, 30, 3, "line-pc-1");  // kept without counts
  store.reset();

  InProcessesAtOnce(4, [&](int) {  // they count the records once between them
    std::string error;
    return OpenRecordStore(target_, error) != nullptr;
  });
  store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(Sql("SELECT count(*) FROM fwflash_schema WHERE version = 3"), "1");
  ExpectSummariesOfTheRecords(*store);
  WriteALine(*store, 20, 4, "line-pc-2");  // and counted from now on
  ExpectSummariesOfTheRecords(*store);
}

// A record leaving its counts (taken away, or an interrupted attempt completed as failed at
// its step, which moves only the failed step) while another writer is adding an attempt of
// the same station and hour and has not committed: the count goes down once all the same.
TEST_P(KeptCountsTest, ACountGoesDownOnceWhileAnotherWriterOfItsHourIsAddingOne) {
  if (GetParam() == Engine::Sqlite) GTEST_SKIP() << "SQLite has one writer at a time";
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  const std::string leavings[] = {"UPDATE fwflash_records SET step = 'sync', end_ms = start_ms + 2000 WHERE id = $1",
                                  "DELETE FROM fwflash_records WHERE id = $1"};
  for (const std::string& leaving : leavings) {
    std::string error;
    DeviceRecord record = AnAttempt(kDay0 + 5 * kHour);
    ASSERT_EQ(store->BeginAttempt(record, nullptr, error), BeginResult::Begun) << error;
    PGconn* adding = PQconnectdb(target_.c_str());
    PGconn* taking = PQconnectdb(target_.c_str());
    PGresult* added = PQexec(adding, ("BEGIN; CREATE TEMP TABLE copy AS SELECT * FROM fwflash_records WHERE id = '" +
                                      record.id + "'; UPDATE copy SET id = id || '-copy'; "
                                      "INSERT INTO fwflash_records SELECT * FROM copy").c_str());
    EXPECT_EQ(PQresultStatus(added), PGRES_COMMAND_OK) << PQerrorMessage(adding);
    PQclear(added);
    const char* id = record.id.c_str();
    ASSERT_EQ(PQsendQueryParams(taking, leaving.c_str(), 1, nullptr, &id, nullptr, nullptr, 0), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Sql("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'") != "1" &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PQclear(PQexec(adding, "COMMIT"));
    while (PGresult* taken = PQgetResult(taking)) {
      EXPECT_EQ(PQresultStatus(taken), PGRES_COMMAND_OK) << PQerrorMessage(taking);
      PQclear(taken);
    }
    PQfinish(adding);
    PQfinish(taking);
    ExpectSummariesOfTheRecords(*store);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, KeptCountsTest, testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

// Where a range is read from: whole days, whole hours beside them, partial hours at the ends.
TEST(SummaryPiecesTest, ARangeIsReadAsWholeDaysAndHoursAndTheRecordsOfItsPartialHours) {
  auto range = [](const SummaryPieces::Range& r) { return std::make_pair(r.since, r.until); };
  const SummaryPieces year = PlanSummary(kDay0 - 5 * kHour - 7, kDay0 + 2 * kDay + 3 * kHour + 9);
  EXPECT_EQ(range(year.head), std::make_pair(kDay0 - 5 * kHour - 7, kDay0 - 5 * kHour));
  EXPECT_EQ(range(year.headHours), std::make_pair(kDay0 - 5 * kHour, kDay0));
  EXPECT_EQ(range(year.days), std::make_pair(kDay0, kDay0 + 2 * kDay));
  EXPECT_EQ(range(year.tailHours), std::make_pair(kDay0 + 2 * kDay, kDay0 + 2 * kDay + 3 * kHour));
  EXPECT_EQ(range(year.tail), std::make_pair(kDay0 + 2 * kDay + 3 * kHour, kDay0 + 2 * kDay + 3 * kHour + 9));
  const SummaryPieces hours = HourPieces(year);
  EXPECT_EQ(range(hours.headHours), std::make_pair(kDay0 - 5 * kHour, kDay0 + 2 * kDay + 3 * kHour));
  EXPECT_EQ(hours.days.until - hours.days.since, 0);

  const SummaryPieces inside = PlanSummary(kDay0 + 1, kDay0 + kHour - 1);  // no whole hour
  EXPECT_EQ(range(inside.head), std::make_pair(kDay0 + 1, kDay0 + kHour - 1));
  EXPECT_EQ(inside.headHours.until - inside.headHours.since, 0);

  // Before 1970 and at int64's ends, nothing overflows and every start is covered once.
  for (const auto& [since, until] : std::vector<std::pair<int64_t, int64_t>>{
           {kLeast, kMost}, {-kDay - 5, 7}, {kLeast, kLeast + 1}, {kMost - 1, kMost}}) {
    const SummaryPieces p = PlanSummary(since, until);
    std::vector<SummaryPieces::Range> parts = {p.head, p.headHours, p.days, p.tailHours, p.tail};
    int64_t at = since;
    for (const auto& part : parts) {
      if (part.since >= part.until) continue;
      EXPECT_EQ(part.since, at) << since << ".." << until;
      at = part.until;
    }
    EXPECT_EQ(at, until) << since << ".." << until;
  }
}

// An older store's filling tells its start and each tenth once, and only when it is large.
TEST(FillKeptCountsTest, ALargeFillingTellsItsStartAndEachTenthOnceASmallOneNothing) {
  struct Told final : OpenEvents {
    std::vector<int64_t> seen;  // the start as minus the records, then the percents
    void CountingKept(uint64_t records) override { seen.push_back(-static_cast<int64_t>(records)); }
    void KeptCounted(int percent) override { seen.push_back(percent); }
  };
  int fills = 0;
  const auto fill = [&](int64_t, int64_t, std::string&) { return ++fills > 0; };
  std::string error;
  for (const uint64_t records : {uint64_t{200000}, uint64_t{99999}}) {
    Told told;
    fills = 0;
    ASSERT_TRUE(FillKeptCounts(kDay0, kDay0 + 100 * kDay - 1, records, fill, &told, error)) << error;
    EXPECT_EQ(fills, 100);
    if (records < 100000) {
      EXPECT_TRUE(told.seen.empty());
      continue;
    }
    EXPECT_EQ(told.seen, (std::vector<int64_t>{-200000, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  }
  EXPECT_TRUE(FillKeptCounts(kDay0, kDay0 + 100 * kDay - 1, 200000, fill, nullptr, error));
}

}  // namespace
