// The spool against a real SQLite store; a store or spool failure is a real one, raised
// by a trigger in its file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "records/record_spool.h"
#include "records/record_store.h"
#include "records/uuid.h"
#include "tests/support/scratch_dir.h"

namespace {

std::string Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  char* message = nullptr;
  std::string error;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
    error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  sqlite3_close(db);
  return error;
}

DeviceRecord Record(const std::string& port, bool completed = true) {
  static int64_t startMs = 1000;  // each later than the last: the store's order is theirs
  DeviceRecord record;
  record.id = NewUuidV4();
  record.startMs = startMs++;
  record.port = port;
  if (completed) {
    record.endMs = 2000;
    record.ok = true;
    record.step.clear();
  }
  return record;
}

class SpoolTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    std::string error;
    store_ = OpenRecordStore(storePath_, error);
    ASSERT_NE(store_, nullptr) << error;
    ASSERT_EQ(Exec(storePath_, "CREATE TABLE arrivals (seq INTEGER PRIMARY KEY, port TEXT); "
                               "CREATE TRIGGER arrival AFTER INSERT ON fwflash_records "
                               "BEGIN INSERT INTO arrivals (port) VALUES (NEW.port); END"),
              "");
    ASSERT_TRUE(spool_.Open(spoolPath_, StoreTargetName(storePath_), error)) << error;
  }

  std::vector<std::string> StoredPorts() {
    std::vector<std::string> ports;
    std::string error;
    RecordQuery query;
    EXPECT_TRUE(store_->ReadRecords(query, [&](const DeviceRecord& r) { ports.push_back(r.port); }, error));
    return ports;
  }

  // The ports of the records in the order the store received them.
  std::vector<std::string> Arrivals() {
    std::vector<std::string> ports;
    sqlite3* db = nullptr;
    sqlite3_open(storePath_.c_str(), &db);
    sqlite3_exec(db, "SELECT port FROM arrivals ORDER BY seq", [](void* out, int, char** values, char**) {
      static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
      return 0;
    }, &ports, nullptr);
    sqlite3_close(db);
    return ports;
  }

  void Add(const DeviceRecord& record) {
    std::string error;
    ASSERT_TRUE(spool_.Add(record, error)) << error;
  }

  ScratchDir scratch_{"fwspool"};
  const std::string storePath_ = scratch_.Path() + "/records.sqlite";
  const std::string spoolPath_ = scratch_.Path() + "/state/fwflash/spool.sqlite";  // folders made
  std::unique_ptr<RecordStore> store_;
  RecordSpool spool_;
};

TEST_F(SpoolTest, RecordsAreDeliveredInArrivalOrderAReplacedOneInItsPlace) {
  DeviceRecord first = Record("a", false);
  Add(first);
  Add(Record("b"));
  first.endMs = 3000;  // the attempt completed while the store was away
  first.port = "a-completed";
  Add(first);
  DeviceRecord older = first;  // an interrupted copy never replaces the completed one
  older.endMs.reset();
  Add(older);
  RecordSpool other;  // another process's records wait for their own store
  std::string error;
  ASSERT_TRUE(other.Open(spoolPath_, "postgresql://elsewhere/db", error)) << error;
  ASSERT_TRUE(other.Add(Record("elsewhere"), error)) << error;
  EXPECT_EQ(spool_.Waiting(), 2u);

  uint64_t delivered = 0;
  ASSERT_TRUE(spool_.Deliver(*store_, delivered, error)) << error;
  EXPECT_EQ(delivered, 2u);
  EXPECT_EQ(spool_.Waiting(), 0u);
  EXPECT_EQ(other.Waiting(), 1u);
  EXPECT_EQ(Arrivals(), (std::vector<std::string>{"a-completed", "b"}));
}

// A spool an older fwflash made (version 2, without the protocol and rate) still takes
// records and delivers its waiting ones as gone byte by byte at 9600.
TEST(SpoolUpgradeTest, AnOlderSpoolGetsTheProtocolColumnsAndDeliversEveryRecord) {
  ScratchDir scratch("fwspool");
  const std::string storePath = scratch.Path() + "/records.sqlite", spoolPath = scratch.Path() + "/spool.sqlite";
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(storePath, error);
  ASSERT_NE(store, nullptr) << error;
  const std::string storeName = StoreTargetName(storePath);
  ASSERT_EQ(Exec(spoolPath, R"sql(
CREATE TABLE fwflash_spool (seq INTEGER PRIMARY KEY AUTOINCREMENT, store TEXT NOT NULL,
  revision INTEGER NOT NULL, id TEXT NOT NULL, start_ms INTEGER NOT NULL, end_ms INTEGER,
  pc TEXT NOT NULL, port TEXT NOT NULL, product TEXT NOT NULL, fwflash_version TEXT NOT NULL,
  firmware_size INTEGER NOT NULL, firmware_crc32 INTEGER NOT NULL, image_crc32 INTEGER NOT NULL,
  serial INTEGER, ok INTEGER NOT NULL, step TEXT NOT NULL, byte INTEGER NOT NULL,
  bytes INTEGER NOT NULL, seconds REAL NOT NULL, sync_acknowledged INTEGER NOT NULL,
  messages TEXT NOT NULL, job_sha256 TEXT NOT NULL DEFAULT '', fields TEXT NOT NULL DEFAULT '{}',
  UNIQUE (store, id));
PRAGMA user_version = 2;
INSERT INTO fwflash_spool (store, revision, id, start_ms, end_ms, pc, port, product, fwflash_version,
  firmware_size, firmware_crc32, image_crc32, serial, ok, step, byte, bytes, seconds,
  sync_acknowledged, messages) VALUES (')sql" + storeName + R"sql(', 1, 'old-1', 5, 9, 'pc', 'old', 'acme', '1.0',
  600, 1, 2, NULL, 1, '', 0, 600, 1.5, 1, '[]');
)sql"), "");
  RecordSpool spool;
  ASSERT_TRUE(spool.Open(spoolPath, storeName, error)) << error;
  DeviceRecord framed = Record("new");
  framed.protocol = 2;
  framed.baud = 921600;
  ASSERT_TRUE(spool.Add(framed, error)) << error;
  uint64_t delivered = 0;
  ASSERT_TRUE(spool.Deliver(*store, delivered, error)) << error;
  EXPECT_EQ(delivered, 2u);
  std::map<std::string, std::pair<int, uint32_t>> sent;
  ASSERT_TRUE(store->ReadRecords({}, [&](const DeviceRecord& r) { sent[r.port] = {r.protocol, r.baud}; }, error));
  EXPECT_EQ(sent["old"], std::make_pair(1, 9600u));
  EXPECT_EQ(sent["new"], std::make_pair(2, 921600u));
}

TEST_F(SpoolTest, AStoreFailingHalfWayKeepsTheRestInOrderForTheNextDelivery) {
  for (const char* port : {"1", "2", "poison", "4"}) Add(Record(port));
  ASSERT_EQ(Exec(storePath_, "CREATE TRIGGER refuse BEFORE INSERT ON fwflash_records "
                             "WHEN NEW.port = 'poison' BEGIN SELECT RAISE(ABORT, 'disk full'); END"),
            "");
  uint64_t delivered = 0;
  std::string error;
  EXPECT_FALSE(spool_.Deliver(*store_, delivered, error));
  EXPECT_NE(error.find("disk full"), std::string::npos) << error;
  EXPECT_EQ(delivered, 2u);
  EXPECT_EQ(spool_.Waiting(), 2u);
  ASSERT_EQ(Exec(storePath_, "DROP TRIGGER refuse"), "");
  ASSERT_TRUE(spool_.Deliver(*store_, delivered, error)) << error;
  EXPECT_EQ(delivered, 2u);
  EXPECT_EQ(Arrivals(), (std::vector<std::string>{"1", "2", "poison", "4"}));
}

TEST_F(SpoolTest, ADeliveryCutOffBeforeItsRemovalIsDeliveredAgainAndStoredOnce) {
  Add(Record("1"));
  Add(Record("2"));
  ASSERT_EQ(Exec(spoolPath_, "CREATE TRIGGER cut BEFORE DELETE ON fwflash_spool "
                             "BEGIN SELECT RAISE(ABORT, 'cut off'); END"),
            "");
  uint64_t delivered = 0;
  std::string error;
  EXPECT_FALSE(spool_.Deliver(*store_, delivered, error));
  EXPECT_EQ(Arrivals(), std::vector<std::string>{"1"});  // in the store, still spooled
  EXPECT_EQ(spool_.Waiting(), 2u);
  ASSERT_EQ(Exec(spoolPath_, "DROP TRIGGER cut"), "");
  ASSERT_TRUE(spool_.Deliver(*store_, delivered, error)) << error;
  EXPECT_EQ(delivered, 2u);
  EXPECT_EQ(StoredPorts(), (std::vector<std::string>{"1", "2"}));  // "1" once
  EXPECT_EQ(spool_.Waiting(), 0u);
}

TEST_F(SpoolTest, SpoolsOfSeveralProcessesShareOneFile) {
  constexpr int kWriters = 4, kEach = 25;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int i = 0; i < kWriters; ++i) {
    writers.emplace_back([&] {
      RecordSpool spool;  // a connection of its own, as another process has
      std::string error;
      if (!spool.Open(spoolPath_, StoreTargetName(storePath_), error)) ++failures;
      for (int n = 0; n < kEach; ++n)
        if (!spool.Add(Record("x"), error)) ++failures;
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(spool_.Waiting(), uint64_t{kWriters * kEach});
}

TEST(SpoolPathTest, TheDefaultFollowsXdgStateHomeElseTheHomeFolder) {
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::string restore = saved ? saved : "";
  setenv("XDG_STATE_HOME", "/var/state-of-x", 1);
  EXPECT_EQ(DefaultSpoolPath(), "/var/state-of-x/fwflash/spool.sqlite");
  setenv("XDG_STATE_HOME", "relative/ignored", 1);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  EXPECT_EQ(DefaultSpoolPath(), home + "/.local/state/fwflash/spool.sqlite");
  if (saved) setenv("XDG_STATE_HOME", restore.c_str(), 1); else unsetenv("XDG_STATE_HOME");
}

TEST(SpoolPathTest, ASqliteStoreIsOneStoreFromAnyFolderAndAnotherFileIsAnother) {
  ScratchDir scratch("fwkey");
  ASSERT_FALSE(scratch.Path().empty());
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(scratch.Path());
  EXPECT_EQ(SpoolStoreKey("records.sqlite"), scratch.Path() + "/records.sqlite");
  EXPECT_EQ(SpoolStoreKey("sqlite:./records.sqlite"), scratch.Path() + "/records.sqlite");
  std::filesystem::current_path("/");
  EXPECT_EQ(SpoolStoreKey("records.sqlite"), "/records.sqlite");
  std::filesystem::current_path(before);
  EXPECT_EQ(SpoolStoreKey("postgresql://line@db/records"), "postgresql://line@db/records");
}

TEST(SpoolPathTest, ASpoolThatCannotBeMadeIsRefusedWithItsReason) {
  RecordSpool spool;
  std::string error;
  EXPECT_FALSE(spool.Open("/proc/no-spool-here/spool.sqlite", "store", error));
  EXPECT_NE(error.find("/proc/no-spool-here"), std::string::npos) << error;
}

}  // namespace
