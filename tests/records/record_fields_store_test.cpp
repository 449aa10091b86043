// The store's part of production jobs on both engines: the migration that keeps every
// record and carries the serial counters over, counters with a step, and lists whose
// items are given once, a secret one's replaced by its digest.
#include "records/store_engines.h"
#include "secrets/sha256.h"
#include "store_test_support.h"

namespace {

class FieldsStoreTest : public EngineTest {
 protected:
  // One attempt with these draws: its values by field, or nothing when a source ran out.
  std::map<std::string, std::string> Draw(RecordStore& store, const AttemptDraws& block, BeginResult expected = BeginResult::Begun) {
    DeviceRecord record;
    record.id = NewUuidV4();
    record.startMs = 1000;
    record.product = block.product;
    std::string error;
    EXPECT_EQ(store.BeginAttempt(record, &block, error), expected) << error;
    std::map<std::string, std::string> values;
    if (record.serial) values["serial"] = std::to_string(*record.serial);
    for (const DrawnValue& drawn : record.drawn) values[drawn.field] = drawn.value.Reveal();
    return values;
  }
  // A job's draws for the product acme: these counters, no serial number.
  static AttemptDraws JobDraws(std::vector<CounterDraw> counters) { return {"acme", std::move(counters)}; }
  static ListImport Items(const std::string& list, bool secret, const std::vector<std::string>& texts) {
    ListImport import;
    import.list = {list, "text", 8, secret};
    for (size_t i = 0; i < texts.size(); ++i)
      import.items.push_back({texts[i], Sha256Hex(texts[i] + std::string(8 - texts[i].size(), '\0')), i + 1});
    return import;
  }
};

// A store made before jobs: records, a serial counter, a station row at schema version 1.
constexpr char kVersion1Sqlite[] = R"sql(
CREATE TABLE fwflash_schema (version INTEGER NOT NULL); INSERT INTO fwflash_schema VALUES (1);
CREATE TABLE fwflash_records (id TEXT PRIMARY KEY NOT NULL, start_ms INTEGER NOT NULL, end_ms INTEGER,
  pc TEXT NOT NULL, port TEXT NOT NULL, product TEXT NOT NULL, fwflash_version TEXT NOT NULL,
  firmware_size INTEGER NOT NULL, firmware_crc32 INTEGER NOT NULL, image_crc32 INTEGER NOT NULL,
  serial INTEGER, ok INTEGER NOT NULL, step TEXT NOT NULL, byte INTEGER NOT NULL, bytes INTEGER NOT NULL,
  seconds REAL NOT NULL, sync_acknowledged INTEGER NOT NULL, messages TEXT NOT NULL);
CREATE INDEX fwflash_records_by_start ON fwflash_records (start_ms, id);
CREATE INDEX fwflash_records_by_serial ON fwflash_records (serial);
CREATE TABLE fwflash_serial_counters (product TEXT PRIMARY KEY NOT NULL, last_serial INTEGER NOT NULL);
CREATE TABLE fwflash_stations (pc TEXT NOT NULL, port TEXT NOT NULL, state TEXT NOT NULL,
  percent INTEGER NOT NULL, serial INTEGER, step TEXT NOT NULL, message TEXT NOT NULL,
  firmware_crc32 INTEGER NOT NULL, updated_ms INTEGER NOT NULL, PRIMARY KEY (pc, port));
INSERT INTO fwflash_records VALUES ('old-1', 5, 9, 'pc', 'p', 'acme', '1.0', 600, 1, 2, 41, 1, '', 0, 600, 1.5, 1, '[]');
INSERT INTO fwflash_serial_counters VALUES ('acme', 41);
)sql";

constexpr char kVersion1Postgres[] = R"sql(
CREATE TABLE fwflash_schema (version bigint NOT NULL); INSERT INTO fwflash_schema VALUES (1);
CREATE TABLE fwflash_records (id text COLLATE "C" PRIMARY KEY, start_ms bigint NOT NULL, end_ms bigint,
  pc text NOT NULL, port text NOT NULL, product text NOT NULL, fwflash_version text NOT NULL,
  firmware_size bigint NOT NULL, firmware_crc32 bigint NOT NULL, image_crc32 bigint NOT NULL,
  serial bigint, ok boolean NOT NULL, step text NOT NULL, byte bigint NOT NULL, bytes bigint NOT NULL,
  seconds double precision NOT NULL, sync_acknowledged boolean NOT NULL, messages text NOT NULL);
CREATE TABLE fwflash_serial_counters (product text PRIMARY KEY, last_serial bigint NOT NULL);
CREATE TABLE fwflash_stations (pc text NOT NULL, port text NOT NULL, state text NOT NULL,
  percent integer NOT NULL, serial bigint, step text NOT NULL, message text NOT NULL,
  firmware_crc32 bigint NOT NULL, updated_ms bigint NOT NULL, PRIMARY KEY (pc, port));
INSERT INTO fwflash_records VALUES ('old-1', 5, 9, 'pc', 'p', 'acme', '1.0', 600, 1, 2, 41, true, '', 0, 600, 1.5, true, '[]');
INSERT INTO fwflash_serial_counters VALUES ('acme', 41);
)sql";

TEST_P(FieldsStoreTest, TheMigrationKeepsEveryRecordAndTheSerialCounterGoesOn) {
  ASSERT_EQ(Sql(GetParam() == Engine::Sqlite ? kVersion1Sqlite : kVersion1Postgres), "");
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  std::vector<DeviceRecord> records;
  std::string error;
  ASSERT_TRUE(store->ReadRecords({}, [&](const DeviceRecord& record) { records.push_back(record); }, error)) << error;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].serial, 41);
  EXPECT_EQ(records[0].jobSha256, "");
  EXPECT_EQ(records[0].fields, "{}");
  EXPECT_EQ(records[0].protocol, 1) << "a record from before protocol 2 went byte by byte";
  EXPECT_EQ(records[0].baud, 9600u);
  DeviceRecord framed;
  framed.id = "new-1";
  framed.startMs = 10;
  framed.protocol = 2;
  framed.baud = 921600;
  ASSERT_TRUE(store->SaveRecord(framed, error)) << error;
  RecordQuery newest;
  newest.sinceMs = 10;
  records.clear();
  ASSERT_TRUE(store->ReadRecords(newest, [&](const DeviceRecord& record) { records.push_back(record); }, error)) << error;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].protocol, 2);
  EXPECT_EQ(records[0].baud, 921600u);
  EXPECT_EQ(Draw(*store, SerialDraws("acme", 1, false, 1000))["serial"], "42") << "the job's serial field goes on counting";
  EXPECT_EQ(Draw(*store, JobDraws({{"serial", 1, false, 1000, 1}}))["serial"], "43") << "the same counter, by its field's name";
}

TEST_P(FieldsStoreTest, ACounterStepsAndEndsWhereItsLastStepWouldPassTheBlock) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  AttemptDraws block = JobDraws({{"mac", 0x100, false, 0x11F, 8}});  // room for 0x100, 0x108, 0x110, 0x118
  for (int64_t mac : {0x100, 0x108, 0x110, 0x118}) EXPECT_EQ(Draw(*store, block)["mac"], std::to_string(mac));
  EXPECT_TRUE(Draw(*store, block, BeginResult::BlockExhausted).empty());
  block.counters[0].last = 0x126;  // one address short of another step of 8
  EXPECT_TRUE(Draw(*store, block, BeginResult::BlockExhausted).empty());
  block.counters[0].last = 0x127;
  EXPECT_EQ(Draw(*store, block)["mac"], std::to_string(0x120));
  block.counters = {{"big", INT64_MAX - 7, true, INT64_MAX, 4}};
  EXPECT_EQ(Draw(*store, block)["big"], std::to_string(INT64_MAX - 7));
  EXPECT_EQ(Draw(*store, block)["big"], std::to_string(INT64_MAX - 3)) << "the last step up to 2^63-1";
  EXPECT_TRUE(Draw(*store, block, BeginResult::BlockExhausted).empty()) << "nothing wraps";
}

// The serial number is one counter among a job's, drawn in the same transaction into the
// record's serial column; a refusal names what ran out, and an attempt refused takes
// nothing from the counters drawn before it.
TEST_P(FieldsStoreTest, TheSerialIsOneCounterAmongTheJobsAndARefusalNamesWhatRanOut) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  AttemptDraws draws = JobDraws({{"mac", 0x100, false, 0x107, 4}, {kSerialFieldName, 7, true, 7}});
  const auto begin = [&](BeginResult expected) {
    DeviceRecord record;
    record.id = NewUuidV4();
    record.product = "acme";
    std::string error;
    EXPECT_EQ(store->BeginAttempt(record, &draws, error), expected) << error;
    return std::make_pair(record, error);
  };
  const DeviceRecord first = begin(BeginResult::Begun).first;
  EXPECT_EQ(first.serial, 7);
  ASSERT_EQ(first.drawn.size(), 1u);
  EXPECT_EQ(first.drawn[0].field, "mac");
  EXPECT_EQ(first.drawn[0].value.Reveal(), "256");
  EXPECT_EQ(begin(BeginResult::BlockExhausted).second, "the serial numbers of acme up to 7 are used up");
  draws.counters[1].last = 9;
  EXPECT_EQ(begin(BeginResult::Begun).first.drawn[0].value.Reveal(), "260") << "the refused attempt took no address";
  EXPECT_EQ(begin(BeginResult::BlockExhausted).second, "the counter mac of acme is used up");
  EXPECT_EQ(Sql("SELECT count(*) FROM fwflash_records"), "2");
}

TEST_P(FieldsStoreTest, AListGivesEachItemOnceAndASecretOneRestsAsItsDigest) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  std::string error;
  ASSERT_TRUE(store->ImportList(Items("pw", true, {"alpha", "bravo"}), error)) << error;
  ASSERT_TRUE(store->ImportList(Items("pw", true, {"charlie"}), error)) << error;
  EXPECT_FALSE(store->ImportList(Items("pw", true, {"delta", "bravo"}), error));
  EXPECT_NE(error.find("line 2: this item is already in the list pw"), std::string::npos) << error;
  EXPECT_FALSE(store->ImportList(Items("pw", false, {"echo"}), error));
  EXPECT_NE(error.find("the list pw is text of 8, secret; this import is text of 8, not secret"), std::string::npos) << error;

  AttemptDraws block;
  block.product = "acme";
  block.lists = {{"password", "pw"}};
  block.describe = [](DeviceRecord& record) { record.fields = "{\"password\":\"described\"}"; };
  EXPECT_EQ(Draw(*store, block)["password"], "alpha");
  EXPECT_EQ(Draw(*store, block)["password"], "bravo");
  EXPECT_EQ(Draw(*store, block)["password"], "charlie") << "an import adds in file order";
  EXPECT_TRUE(Draw(*store, block, BeginResult::BlockExhausted).empty());
  EXPECT_EQ(Sql("SELECT count(*) FROM fwflash_list_items WHERE item = digest"), "3");
  EXPECT_EQ(Sql("SELECT min(item) FROM fwflash_list_items WHERE item = '" + Sha256Hex(std::string("bravo\0\0\0", 8)) + "'"),
            Sha256Hex(std::string("bravo\0\0\0", 8)));
  EXPECT_EQ(Sql("SELECT count(*) FROM fwflash_records WHERE fields = '{\"password\":\"described\"}'"), "3")
      << "the record's fields are described before it is written";
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  ASSERT_TRUE(store->ReadStock(0, 2000, lists, counters, error)) << error;
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].items, 3u);
  EXPECT_EQ(lists[0].given, 3u);
  EXPECT_EQ(lists[0].givenInRange, 3u);
  EXPECT_TRUE(store->Scrub(error)) << error;
}

// A record's fields keep each value as its field shows it; the report's range reads the
// numbers back: a job may change its show while its counter goes on, a hex may come
// from formats of other widths, and a decimal 10 is above 9.
TEST_P(FieldsStoreTest, TheCountersRangeIsTheLowestAndHighestNumberAsEachRecordShowsIt) {
  std::unique_ptr<RecordStore> store = Open();
  ASSERT_TRUE(store);
  AttemptDraws block = JobDraws({{"mac", 1, false, 1000, 1}, {"count", 1, false, 1000, 1}, {"word", 1, false, 1000, 1}});
  const std::vector<std::string> shown[] = {
      {R"("mac":"00:50:C2:00:00:10")", R"("count":"9")", R"("word":"0xFF")"},
      {R"("mac":"346852163608")", R"("count":"10")", R"("word":"0x0100")"},  // 0x0050C2000018
      {R"("mac":"0x0050C2000008")", R"("count":"100")", R"("word":"0x00FE")"},
      {R"("mac":"sha256:0123456789abcdef")", R"("count":"0x0A")"},  // a fingerprint is no number
  };
  for (const auto& fields : shown) {
    block.describe = [&](DeviceRecord& record) {
      record.fields = "{";
      for (const std::string& field : fields) record.fields += (record.fields.size() > 1 ? "," : "") + field;
      record.fields += "}";
    };
    Draw(*store, block);
  }
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  std::string error;
  ASSERT_TRUE(store->ReadStock(0, 2000, lists, counters, error)) << error;
  std::map<std::string, std::pair<std::string, std::string>> ranges;
  for (const CounterInfo& counter : counters) {
    ASSERT_TRUE(counter.lowestInRange && counter.highestInRange) << counter.field;
    ranges[counter.field] = {*counter.lowestInRange, *counter.highestInRange};
  }
  using Range = std::pair<std::string, std::string>;
  EXPECT_EQ(ranges["mac"], Range("0x0050C2000008", "346852163608"));
  EXPECT_EQ(ranges["count"], Range("9", "100"));
  EXPECT_EQ(ranges["word"], Range("0x00FE", "0x0100"));
  counters.clear();
  ASSERT_TRUE(store->ReadStock(2000, 3000, lists, counters, error)) << error;
  EXPECT_FALSE(counters.at(0).lowestInRange) << "no records in the range";
}

INSTANTIATE_TEST_SUITE_P(Engines, FieldsStoreTest, testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
