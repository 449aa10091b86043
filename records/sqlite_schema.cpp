#include "records/sqlite_schema.h"

#include <string>

#include "records/kept_counts.h"
#include "records/sqlite_counts_schema.h"
#include "records/store_engines.h"

const char kSqliteRecordColumnsV1[] = R"sql(
  start_ms INTEGER NOT NULL,
  end_ms INTEGER,
  pc TEXT NOT NULL,
  port TEXT NOT NULL,
  product TEXT NOT NULL,
  fwflash_version TEXT NOT NULL,
  firmware_size INTEGER NOT NULL,
  firmware_crc32 INTEGER NOT NULL,
  image_crc32 INTEGER NOT NULL,
  serial INTEGER,
  ok INTEGER NOT NULL,
  step TEXT NOT NULL,
  byte INTEGER NOT NULL,
  bytes INTEGER NOT NULL,
  seconds REAL NOT NULL,
  sync_acknowledged INTEGER NOT NULL,
  messages TEXT NOT NULL
)sql";

namespace {

// The first schema's tables after the records'.
constexpr char kVersion1Sql[] = R"sql(
CREATE INDEX fwflash_records_by_start ON fwflash_records (start_ms, id);
CREATE INDEX fwflash_records_by_serial ON fwflash_records (serial);
CREATE TABLE fwflash_serial_counters (
  product TEXT PRIMARY KEY NOT NULL,
  last_serial INTEGER NOT NULL
);
CREATE TABLE fwflash_stations (
  pc TEXT NOT NULL,
  port TEXT NOT NULL,
  state TEXT NOT NULL,
  percent INTEGER NOT NULL,
  serial INTEGER,
  step TEXT NOT NULL,
  message TEXT NOT NULL,
  firmware_crc32 INTEGER NOT NULL,
  updated_ms INTEGER NOT NULL,
  PRIMARY KEY (pc, port)
);
)sql";

const char* Version1Sql() {
  static const std::string sql = std::string("CREATE TABLE fwflash_records (\n  id TEXT PRIMARY KEY NOT NULL,") +
                                 kSqliteRecordColumnsV1 + ");" + kVersion1Sql;
  return sql.c_str();
}

// Each migration runs once, in order; a released one is never edited, only followed.
// Times are milliseconds UTC; messages a JSON array of strings; the counter keeps the
// last number given (first - 1 while none was), so that 2^63-1 can be given too.
const Migration kMigrations[] = {
    {1, Version1Sql()},
    // A station's label for the dashboard, and the time of its last progress: heartbeats
    // rewrite updated_ms, so a stuck transfer needs a time of its own.
    {2, R"sql(
ALTER TABLE fwflash_stations ADD COLUMN label TEXT NOT NULL DEFAULT '';
ALTER TABLE fwflash_stations ADD COLUMN progress_ms INTEGER NOT NULL DEFAULT 0;
UPDATE fwflash_stations SET progress_ms = updated_ms;
)sql"},
    {3, SqliteCountsSql(), true},
    // Counters per product and field (the serial counters become the field serial's),
    // the job and the fields of each record, and lists whose items are given once.
    {4, R"sql(
CREATE TABLE fwflash_field_counters (
  product TEXT NOT NULL,
  field TEXT NOT NULL,
  last_value INTEGER NOT NULL,
  PRIMARY KEY (product, field)
);
INSERT INTO fwflash_field_counters (product, field, last_value)
  SELECT product, 'serial', last_serial FROM fwflash_serial_counters;
DROP TABLE fwflash_serial_counters;
ALTER TABLE fwflash_records ADD COLUMN job_sha256 TEXT NOT NULL DEFAULT '';
ALTER TABLE fwflash_records ADD COLUMN fields TEXT NOT NULL DEFAULT '{}';
CREATE TABLE fwflash_lists (
  name TEXT PRIMARY KEY NOT NULL,
  kind TEXT NOT NULL,
  length INTEGER NOT NULL,
  secret INTEGER NOT NULL,
  items INTEGER NOT NULL,
  given INTEGER NOT NULL
);
CREATE TABLE fwflash_list_items (
  list TEXT NOT NULL,
  seq INTEGER NOT NULL,
  item TEXT NOT NULL,
  digest TEXT NOT NULL,
  given_ms INTEGER,
  PRIMARY KEY (list, seq),
  UNIQUE (list, digest)
);
CREATE INDEX fwflash_list_items_left ON fwflash_list_items (list, seq) WHERE given_ms IS NULL;
)sql"},
    // The protocol and rate each record's image went at; older records went byte by byte.
    {5, RecordProtocolSql()},
};

bool FillCounts(SqliteDb& db, OpenEvents* events, std::string& error) {
  SqliteStatement kept =
      db.Prepare("SELECT min(start_ms), max(start_ms), count(*) FROM fwflash_records", error);
  if (!kept.Valid() || kept.Step(error) != SqliteStatement::StepResult::Row) return false;
  if (kept.Int(2) == 0) return true;
  return FillKeptCounts(kept.Int(0), kept.Int(1), static_cast<uint64_t>(kept.Int(2)),
                        [&](int64_t from, int64_t to, std::string& why) {
                          for (const char* sql : {kFillCountsSql, kFillStepsSql}) {
                            SqliteStatement fill = db.Prepare(sql, why);
                            if (!fill.Valid()) return false;
                            fill.BindInt(1, from);
                            fill.BindInt(2, to);
                            if (!fill.Run(why)) return false;
                          }
                          return true;
                        }, events, error);
}

bool MigrateInTransaction(SqliteDb& db, OpenEvents* events, std::string& error) {
  if (!db.Exec("CREATE TABLE IF NOT EXISTS fwflash_schema (version INTEGER NOT NULL)", error))
    return false;
  SqliteStatement recorded = db.Prepare("SELECT version FROM fwflash_schema", error);
  if (!recorded.Valid()) return false;
  std::set<int64_t> applied;
  SqliteStatement::StepResult step;
  while ((step = recorded.Step(error)) == SqliteStatement::StepResult::Row)
    applied.insert(recorded.Int(0));
  if (step == SqliteStatement::StepResult::Failed) return false;
  recorded = SqliteStatement();  // no read open while a migration drops a table
  auto apply = [&](const Migration& migration, std::string& why) {
    if (!db.Exec(migration.sql, why)) return false;
    if (migration.fillsCounts && !FillCounts(db, events, why)) return false;
    SqliteStatement done = db.Prepare("INSERT INTO fwflash_schema (version) VALUES (?1)", why);
    if (!done.Valid()) return false;
    done.BindInt(1, migration.version);
    return done.Run(why);
  };
  return ApplyMigrations(applied, kMigrations, apply, error);
}

}  // namespace

bool MakeSqliteSchema(SqliteDb& db, OpenEvents* events, std::string& error) {
  return db.Transaction(true, [&](std::string& why) { return MigrateInTransaction(db, events, why); },
                        error);
}
