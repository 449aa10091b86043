// The spool's SQLite file: one table of waiting records, in the order they came.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "records/record_columns.h"
#include "records/record_spool.h"
#include "records/sqlite_db.h"
#include "records/sqlite_record_row.h"
#include "records/sqlite_schema.h"
#include "records/store_engines.h"

namespace {

using Row = SqliteStatement::StepResult;

constexpr int64_t kSpoolSchemaVersion = 3;

// seq keeps the order of arrival (AUTOINCREMENT: never reused, so a record added after a
// delivery comes last); revision tells a record replaced while it was being delivered.
const std::string& SpoolTableSql() {
  static const std::string sql =
      std::string("CREATE TABLE IF NOT EXISTS fwflash_spool (\n  seq INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                  "  store TEXT NOT NULL,\n  revision INTEGER NOT NULL,\n  id TEXT NOT NULL,") +
      kSqliteRecordColumnsV1 + ",\n  UNIQUE (store, id)\n)";
  return sql;
}

// Each version after the first, in order: version 2 the job's SHA-256 and the fields of
// each record, version 3 its protocol and rate.
const std::string& SpoolUpgradeSql(int64_t version) {
  static const std::string upgrades[] = {
      R"sql(
ALTER TABLE fwflash_spool ADD COLUMN job_sha256 TEXT NOT NULL DEFAULT '';
ALTER TABLE fwflash_spool ADD COLUMN fields TEXT NOT NULL DEFAULT '{}';
PRAGMA user_version = 2;
)sql",
      AddProtocolColumnsSql("fwflash_spool") + "PRAGMA user_version = 3;\n"};
  return upgrades[version - 2];
}

bool MakeFolderOf(const std::string& path, std::string& error) {
  const std::filesystem::path folder = std::filesystem::u8path(path).parent_path();
  if (folder.empty()) return true;
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (!failure) return true;
  error = "cannot make the spool's folder " + folder.u8string() + ": " + failure.message();
  return false;
}

}  // namespace

struct RecordSpool::Impl {
  SqliteDb db;
  std::string path, store;
  uint64_t waiting = 0;  // the last count read, kept when a count fails

  bool MakeSchema(std::string& error) {
    return db.Transaction(true, [&](std::string& why) {
      SqliteStatement version = db.Prepare("PRAGMA user_version", why);
      if (!version.Valid() || version.Step(why) != Row::Row) return false;
      if (version.Int(0) > kSpoolSchemaVersion) {
        why = "the spool's schema is version " + std::to_string(version.Int(0)) +
              "; this fwflash knows up to version " + std::to_string(kSpoolSchemaVersion) +
              ": use a newer fwflash or another spool";
        return false;
      }
      const int64_t current = version.Int(0);
      version = SqliteStatement();
      if (current == 0 && !db.Exec(SpoolTableSql().c_str(), why)) return false;
      for (int64_t next = std::max<int64_t>(current + 1, 2); next <= kSpoolSchemaVersion; ++next)
        if (!db.Exec(SpoolUpgradeSql(next).c_str(), why)) return false;
      return true;
    }, error);
  }

  bool Remove(int64_t seq, int64_t revision, bool& removed, std::string& error) {
    SqliteStatement remove =
        db.Prepare("DELETE FROM fwflash_spool WHERE seq = ?1 AND revision = ?2", error);
    if (!remove.Valid()) return false;
    remove.BindInt(1, seq);
    remove.BindInt(2, revision);
    if (!remove.Run(error)) return false;
    removed = db.Changes() > 0;
    return true;
  }

  std::string Reason(const std::string& what, const std::string& why) const {
    return what + " " + path + ": " + why;
  }
};

RecordSpool::RecordSpool() : impl_(std::make_unique<Impl>()) {}
RecordSpool::~RecordSpool() = default;

bool RecordSpool::Open(const std::string& path, const std::string& storeName, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  impl_->path = path;
  impl_->store = SpoolStoreKey(storeName);
  if (!MakeFolderOf(path, error) || !impl_->db.Open(path, error)) return false;
  if (impl_->MakeSchema(error)) return true;
  error = impl_->Reason("cannot use the spool", error);
  return false;
}

bool RecordSpool::Add(const DeviceRecord& record, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A record waiting already is replaced in its place, but a completed one never by an
  // interrupted copy.
  const std::string sql = std::string("INSERT INTO fwflash_spool (store, revision, ") +
                          RecordColumnNames() + ") VALUES (?1, 1, " + RecordValuePlaces('?', 2) +
                          ") ON CONFLICT (store, id) DO UPDATE SET revision = revision + 1, " +
                          RecordUpdates() +
                          " WHERE excluded.end_ms IS NOT NULL OR fwflash_spool.end_ms IS NULL";
  const bool kept = impl_->db.Transaction(true, [&](std::string& why) {
    SqliteStatement add = impl_->db.Prepare(sql.c_str(), why);
    if (!add.Valid()) return false;
    add.BindText(1, impl_->store);
    BindRecord(add, 2, record);
    return add.Run(why);
  }, error);
  if (!kept) error = impl_->Reason("cannot keep a record in the spool", error);
  return kept;
}

uint64_t RecordSpool::Waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string error;
  SqliteStatement count = impl_->db.Prepare("SELECT count(*) FROM fwflash_spool WHERE store = ?1", error);
  if (count.Valid()) {
    count.BindText(1, impl_->store);
    if (count.Step(error) == Row::Row) impl_->waiting = static_cast<uint64_t>(count.Int(0));
  }
  return impl_->waiting;
}

bool RecordSpool::Deliver(RecordStore& store, uint64_t& delivered, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  delivered = 0;
  const std::string sql = "SELECT seq, revision, " + RecordColumnNames() +
                          " FROM fwflash_spool WHERE store = ?1 ORDER BY seq LIMIT 1";
  for (;;) {
    SqliteStatement next = impl_->db.Prepare(sql.c_str(), error);
    if (!next.Valid()) {
      error = impl_->Reason("cannot read the spool", error);
      return false;
    }
    next.BindText(1, impl_->store);
    const Row step = next.Step(error);
    if (step == Row::Done) return true;
    if (step == Row::Failed) {
      error = impl_->Reason("cannot read the spool", error);
      return false;
    }
    const int64_t seq = next.Int(0), revision = next.Int(1);
    const DeviceRecord record = RecordFromColumns(next, 2);
    next = SqliteStatement();  // no read open while the store and the spool write
    if (!store.SaveRecord(record, error)) return false;
    // Removed only as the revision delivered: a copy replaced meanwhile waits for the
    // next round.
    bool removed = false;
    if (!impl_->Remove(seq, revision, removed, error)) {
      error = impl_->Reason("cannot remove a delivered record from the spool", error);
      return false;
    }
    if (removed) ++delivered;
  }
}
