// The record store's behaviour, the same on both engines, through its interface only.

#include <algorithm>
#include <atomic>
#include <limits>
#include <set>
#include <thread>
#include <tuple>

#include "store_test_support.h"

namespace {

constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();
constexpr int64_t kHour = 3600000;
constexpr int64_t kDay0 = 1796688000000;  // 2026-12-08T00:00:00Z

std::vector<DeviceRecord> Read(RecordStore& store, const RecordQuery& query = {}) {
  std::vector<DeviceRecord> records;
  std::string error;
  EXPECT_TRUE(store.ReadRecords(query, [&](const DeviceRecord& r) { records.push_back(r); }, error))
      << error;
  return records;
}

std::optional<int64_t> TakeSerial(RecordStore& store, const AttemptDraws& block) {
  DeviceRecord record = AnAttempt(kDay0);
  std::string error;
  const BeginResult result = store.BeginAttempt(record, &block, error);
  EXPECT_NE(result, BeginResult::Failed) << error;
  return result == BeginResult::Begun ? record.serial : std::nullopt;
}

// Every field of a record, for comparing two of them at once.
auto Fields(const DeviceRecord& r) {
  return std::tie(r.id, r.startMs, r.endMs, r.pc, r.port, r.product, r.fwflashVersion,
                  r.firmwareSize, r.firmwareCrc32, r.imageCrc32, r.serial, r.ok, r.step, r.byte,
                  r.bytes, r.seconds, r.syncAcknowledged, r.messages, r.protocol, r.baud);
}

class StoreTest : public EngineTest {};

TEST_P(StoreTest, ProcessesOpeningANewStoreTogetherMakeItOnceAndAllSucceed) {
  InProcessesAtOnce(6, [&](int) {
    std::string error;
    std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error);
    DeviceRecord record = AnAttempt(kDay0);
    const AttemptDraws block = SerialDraws("acme-probe", 1, false, kLargest);
    return store && store->BeginAttempt(record, &block, error) == BeginResult::Begun;
  });
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  std::set<int64_t> serials;
  for (const DeviceRecord& record : Read(*store)) serials.insert(record.serial.value_or(-1));
  EXPECT_EQ(serials, (std::set<int64_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Sql("SELECT count(*) - count(DISTINCT version) FROM fwflash_schema"), "0")
      << "each migration runs once";
}

TEST_P(StoreTest, AStoreOfANewerSchemaIsRefused) {
  ASSERT_TRUE(Open());
  ASSERT_EQ(Sql("INSERT INTO fwflash_schema (version) VALUES (99)"), "");
  std::string error;
  OpenProblem problem = OpenProblem::None;
  EXPECT_EQ(OpenRecordStore(target_, error, &problem), nullptr);
  EXPECT_NE(error.find("schema is version 99"), std::string::npos) << error;
  EXPECT_EQ(problem, OpenProblem::Refused);
}

TEST_P(StoreTest, TheSerialCounterStartsMovesUpNeverDownAndEndsWithItsBlock) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 100, true, 1000)), 100);
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 50, true, 1000)), 101);   // lower: ignored
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 500, false, 1000)), 102); // not given: the default
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 200, true, 201)), 200);   // a new block
  EXPECT_EQ(TakeSerial(*store, SerialDraws("other", 1, false, 1000)), 1);          // a counter per product
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 200, true, 201)), 201);

  const size_t written = Read(*store).size();
  DeviceRecord record = AnAttempt(kDay0);
  const AttemptDraws used = SerialDraws("acme-probe", 200, true, 201);
  std::string error;
  EXPECT_EQ(store->BeginAttempt(record, &used, error), BeginResult::BlockExhausted);
  EXPECT_FALSE(record.serial);
  EXPECT_EQ(Read(*store).size(), written);
  EXPECT_EQ(TakeSerial(*store, SerialDraws("acme-probe", 200, true, 300)), 202);  // nothing was used up
}

TEST_P(StoreTest, TheLargestSerialNumberIsGivenOnceAndNothingWraps) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  const AttemptDraws top = SerialDraws("acme-probe", kLargest - 1, true, kLargest);
  EXPECT_EQ(TakeSerial(*store, top), kLargest - 1);
  EXPECT_EQ(TakeSerial(*store, top), kLargest);
  for (int i = 0; i < 2; ++i) {
    DeviceRecord record = AnAttempt(kDay0);
    std::string error;
    EXPECT_EQ(store->BeginAttempt(record, &top, error), BeginResult::BlockExhausted);
  }
  EXPECT_EQ(TakeSerial(*store, SerialDraws("zero", 0, true, 0)), 0);
  RecordQuery query;
  query.serial = kLargest;
  ASSERT_EQ(Read(*store, query).size(), 1u);
}

TEST_P(StoreTest, ConnectionsTakingNumbersAtOnceGetEachOnceWithoutGaps) {
  constexpr int kConnections = 4, kEach = 25;
  std::vector<std::unique_ptr<RecordStore>> stores;
  for (int i = 0; i < kConnections; ++i) stores.push_back(Open());
  ASSERT_TRUE(std::all_of(stores.begin(), stores.end(), [](auto& s) { return s != nullptr; }));
  std::vector<std::vector<int64_t>> taken(kConnections);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kConnections; ++i) {
    threads.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      for (int n = 0; n < kEach; ++n) {
        if (auto serial = TakeSerial(*stores[i], SerialDraws("acme-probe", 7000, true, kLargest)))
          taken[i].push_back(*serial);
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  std::set<int64_t> all;
  for (const auto& numbers : taken) all.insert(numbers.begin(), numbers.end());
  ASSERT_EQ(all.size(), size_t{kConnections * kEach});
  EXPECT_EQ(*all.begin(), 7000);
  EXPECT_EQ(*all.rbegin(), 7000 + kConnections * kEach - 1);
}

TEST_P(StoreTest, ARecordIsKeptOncePerIdWithEveryFieldAndNeverUndoneByAnOlderCopy) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  DeviceRecord record = AnAttempt(kDay0 + 123);
  std::string error;
  ASSERT_EQ(store->BeginAttempt(record, nullptr, error), BeginResult::Begun) << error;
  const DeviceRecord interrupted = record;
  record.endMs = kDay0 + 11753;
  record.port = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
  record.imageCrc32 = 0xFFFFFFFF;
  record.serial = kLargest;
  record.step = "read-byte";
  record.byte = 51;
  record.bytes = 50;
  record.seconds = 2.0123456789;
  record.syncAcknowledged = true;
  record.protocol = 2;
  record.baud = 2000000;
  record.messages = {"Cannot read from comm port!", "a \"quoted\", comma\r\nand line", "",
                     std::string("nul\0byte", 8), "ünïcödé \\ backslash"};
  ASSERT_TRUE(store->SaveRecord(record, error)) << error;
  ASSERT_TRUE(store->SaveRecord(record, error)) << error;       // a delivery repeated
  ASSERT_TRUE(store->SaveRecord(interrupted, error)) << error;  // a late, older copy
  const std::vector<DeviceRecord> read = Read(*store);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(Fields(read[0]), Fields(record));

  DeviceRecord same = AnAttempt(kDay0);
  same.id = record.id;
  EXPECT_EQ(store->BeginAttempt(same, nullptr, error), BeginResult::Failed)
      << "a second attempt of the same id would hide the first";
}

TEST_P(StoreTest, TextThatIsNotUtf8IsStillStored) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  DeviceRecord record = AnAttempt(kDay0, "/dev/tty\xe4\xff");  // a Latin-1 name, a stray byte
  record.messages = {"caf\xe9", "ok \xc3\xa9"};
  std::string error;
  ASSERT_TRUE(store->SaveRecord(record, error)) << error;
  const std::vector<DeviceRecord> read = Read(*store);
  ASSERT_EQ(read.size(), 1u);
  if (GetParam() == Engine::Sqlite) {
    EXPECT_EQ(read[0].port, record.port);  // kept as it came
    EXPECT_EQ(read[0].messages, record.messages);
  } else {  // the server's UTF-8 holds a replacement character instead
    EXPECT_EQ(read[0].port, "/dev/tty\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(read[0].messages, (std::vector<std::string>{"caf\xef\xbf\xbd", "ok \xc3\xa9"}));
  }
}

TEST_P(StoreTest, QueriesSelectAStartRangeFailuresASerialAndALimitInOrder) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  std::vector<DeviceRecord> written;
  for (int i = 0; i < 6; ++i) {
    DeviceRecord record = AnAttempt(kDay0 + (i / 2) * kHour);  // two records per start
    record.ok = i % 3 == 0;
    record.serial = 10 + i;
    std::string error;
    ASSERT_TRUE(store->SaveRecord(record, error)) << error;
    written.push_back(record);
  }
  std::sort(written.begin(), written.end(), [](const DeviceRecord& a, const DeviceRecord& b) {
    return std::tie(a.startMs, a.id) < std::tie(b.startMs, b.id);
  });
  auto ids = [](const std::vector<DeviceRecord>& records) {
    std::vector<std::string> list;
    for (const DeviceRecord& r : records) list.push_back(r.id);
    return list;
  };
  EXPECT_EQ(ids(Read(*store)), ids(written));

  RecordQuery range;
  range.sinceMs = kDay0 + kHour;  // at since: in; at until: out
  range.untilMs = kDay0 + 2 * kHour;
  EXPECT_EQ(ids(Read(*store, range)), ids({written[2], written[3]}));

  RecordQuery newest;
  newest.newestFirst = true;
  newest.limit = 3;
  EXPECT_EQ(ids(Read(*store, newest)), ids({written[5], written[4], written[3]}));

  RecordQuery failed;
  failed.failedOnly = true;
  for (const DeviceRecord& record : Read(*store, failed)) EXPECT_FALSE(record.ok);
  EXPECT_EQ(Read(*store, failed).size(), 4u);

  RecordQuery serial;
  serial.serial = 13;
  const std::vector<DeviceRecord> bySerial = Read(*store, serial);
  ASSERT_EQ(bySerial.size(), 1u);
  EXPECT_EQ(bySerial[0].serial, 13);
}

TEST_P(StoreTest, ManyRecordsOfTheSameStartAreReadEachOnceInOrder) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  constexpr int kRecords = 2500;  // more than a page of reading, three starts only
  const std::string fill =
      GetParam() == Engine::Sqlite
          ? "INSERT INTO fwflash_records SELECT printf('id-%05d', n), 1000 + n % 3, NULL, 'pc', "
            "'port', 'p', 'v', 0, 0, 0, NULL, 0, 'interrupted', 0, 0, 0.0, 0, '[]', '', '{}', 1, 9600 FROM "
            "(WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2500) "
            "SELECT n FROM c)"
          : "INSERT INTO fwflash_records SELECT 'id-' || lpad(n::text, 5, '0'), 1000 + n % 3, NULL, "
            "'pc', 'port', 'p', 'v', 0, 0, 0, NULL, false, 'interrupted', 0, 0, 0, false, '[]', '', '{}', 1, 9600 "
            "FROM generate_series(1, 2500) AS n";
  ASSERT_EQ(Sql(fill), "");
  const std::vector<DeviceRecord> all = Read(*store);
  ASSERT_EQ(all.size(), size_t{kRecords});
  for (size_t i = 1; i < all.size(); ++i)
    ASSERT_LT(std::tie(all[i - 1].startMs, all[i - 1].id), std::tie(all[i].startMs, all[i].id));
  RecordQuery newest;
  newest.newestFirst = true;
  newest.limit = 1001;
  const std::vector<DeviceRecord> last = Read(*store, newest);
  ASSERT_EQ(last.size(), 1001u);
  for (size_t i = 0; i < last.size(); ++i) ASSERT_EQ(last[i].id, all[all.size() - 1 - i].id);
}

TEST_P(StoreTest, SummaryCountsARangePerProductStationStepAndHour) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  auto save = [&](int64_t startMs, const std::string& product, const std::string& port, bool ok,
                  const std::string& step, std::optional<int64_t> serial) {
    DeviceRecord record = AnAttempt(startMs, port);
    record.product = product;
    record.ok = ok;
    record.step = ok ? "" : step;
    record.serial = serial;
    std::string error;
    ASSERT_TRUE(store->SaveRecord(record, error)) << error;
  };
  save(kDay0 - 1, "acme-probe", "/dev/ttyUSB0", true, "", 1);  // before the range
  save(kDay0, "acme-probe", "/dev/ttyUSB0", true, "", 7000);
  save(kDay0 + kHour - 1, "acme-probe", "/dev/ttyUSB1", false, "read-byte", 7001);
  save(kDay0 + kHour, "acme-probe", "/dev/ttyUSB1", false, "interrupted", std::nullopt);
  save(kDay0 + kHour + 5, "beta", "/dev/ttyUSB0", true, "", 9);
  save(kDay0 + 2 * kHour, "beta", "/dev/ttyUSB0", true, "", 10);  // at until: out

  RecordSummary summary;
  std::string error;
  ASSERT_TRUE(store->Summarize(kDay0, kDay0 + 2 * kHour, summary, error)) << error;
  EXPECT_EQ(summary.total.passed, 2u);
  EXPECT_EQ(summary.total.failed, 2u);
  ASSERT_EQ(summary.products.size(), 2u);
  EXPECT_EQ(summary.products[0].product, "acme-probe");
  EXPECT_EQ(summary.products[0].firmwareCrc32, 0x3520737Bu);
  EXPECT_EQ(summary.products[0].count.passed, 1u);
  EXPECT_EQ(summary.products[0].count.failed, 2u);
  EXPECT_EQ(summary.products[1].product, "beta");
  ASSERT_EQ(summary.stations.size(), 2u);
  EXPECT_EQ(summary.stations[0].port, "/dev/ttyUSB0");
  EXPECT_EQ(summary.stations[0].count.passed, 2u);
  EXPECT_EQ(summary.stations[1].count.failed, 2u);
  ASSERT_EQ(summary.failedSteps.size(), 2u);
  EXPECT_EQ(summary.failedSteps[0].step, "interrupted");
  EXPECT_EQ(summary.failedSteps[1].step, "read-byte");
  ASSERT_EQ(summary.hours.size(), 2u);
  EXPECT_EQ(summary.hours[0].startMs, kDay0);
  EXPECT_EQ(summary.hours[0].count.passed + summary.hours[0].count.failed, 2u);
  EXPECT_EQ(summary.hours[1].startMs, kDay0 + kHour);
  EXPECT_EQ(summary.lowestSerial, 9);
  EXPECT_EQ(summary.highestSerial, 7001);
  EXPECT_EQ(summary.serials, 3u);

  ASSERT_TRUE(store->Summarize(0, 1, summary, error)) << error;
  EXPECT_EQ(summary.total.passed + summary.total.failed, 0u);
  EXPECT_TRUE(summary.products.empty());
  EXPECT_FALSE(summary.lowestSerial);
}

TEST_P(StoreTest, StationRowsAreReplacedPerPcAndPortAndWatchersSeeEveryWrite) {
  std::unique_ptr<RecordStore> writer = Open(), watcher = Open();
  ASSERT_TRUE(writer && watcher);
  std::string error;
  bool changed = true;
  ASSERT_TRUE(watcher->WaitForChange(0, error, &changed)) << error;  // starts watching

  const StationState second{"pc-1", "/dev/ttyUSB1", "waiting", 0, std::nullopt, "", "", 1, 5, "", 5};
  StationState first{"pc-1", "/dev/ttyUSB0", "flashing", 40, 7000, "", "", 0x3520737B, 10, "A1", 8};
  ASSERT_TRUE(writer->WriteStationState(second, error)) << error;
  ASSERT_TRUE(writer->WriteStationState(first, error)) << error;
  first.state = "failed";
  first.step = "read-byte";
  first.message = "Cannot read from comm port!";
  ASSERT_TRUE(writer->WriteStationState(first, error)) << error;
  std::vector<StationState> states;
  ASSERT_TRUE(watcher->ReadStationStates(states, error)) << error;
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].port, "/dev/ttyUSB0");
  EXPECT_EQ(states[0].state, "failed");
  EXPECT_EQ(states[0].serial, 7000);
  EXPECT_EQ(states[0].message, "Cannot read from comm port!");
  EXPECT_EQ(states[0].label, "A1");
  EXPECT_EQ(states[0].progressMs, 8);
  EXPECT_EQ(states[1].port, "/dev/ttyUSB1");
  EXPECT_FALSE(states[1].serial);

  ASSERT_TRUE(watcher->WaitForChange(60000, error, &changed)) << error;
  EXPECT_TRUE(changed);
  while (changed) ASSERT_TRUE(watcher->WaitForChange(0, error, &changed)) << error;  // drained
  ASSERT_TRUE(writer->SaveRecord(AnAttempt(kDay0), error)) << error;
  ASSERT_TRUE(watcher->WaitForChange(60000, error, &changed)) << error;
  EXPECT_TRUE(changed);
  ASSERT_TRUE(writer->WaitForChange(60000, error, &changed)) << error;  // its own writes
  EXPECT_TRUE(changed);
}

// A store kept before station labels: its station rows keep everything, get no label, and their
// last progress is their last update.
TEST_P(StoreTest, StationRowsOfTheFirstSchemaGetAnEmptyLabelAndTheirUpdateAsProgress) {
  ASSERT_TRUE(Open());
  ASSERT_EQ(Sql("ALTER TABLE fwflash_stations DROP COLUMN label"), "");
  ASSERT_EQ(Sql("ALTER TABLE fwflash_stations DROP COLUMN progress_ms"), "");
  ASSERT_EQ(Sql("DELETE FROM fwflash_schema WHERE version = 2"), "");
  ASSERT_EQ(Sql("INSERT INTO fwflash_stations VALUES ('pc-1', 'COM3', 'flashing', 30, 12, '', '', 1, 777)"), "");
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  std::vector<StationState> states;
  std::string error;
  ASSERT_TRUE(store->ReadStationStates(states, error)) << error;
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0].state, "flashing");
  EXPECT_EQ(states[0].serial, 12);
  EXPECT_EQ(states[0].label, "");
  EXPECT_EQ(states[0].progressMs, 777);
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

}  // namespace
