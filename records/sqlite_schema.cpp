#include "records/sqlite_schema.h"

#include "records/store_engines.h"

namespace {

// Each migration runs once, in order; a released one is never edited, only followed.
// Times are milliseconds UTC; messages a JSON array of strings; the counter keeps the
// last number given (first - 1 while none was), so that 2^63-1 can be given too.
const Migration kMigrations[] = {
    {1, R"sql(
CREATE TABLE fwflash_records (
  id TEXT PRIMARY KEY NOT NULL,
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
);
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
)sql"},
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
};

bool MigrateInTransaction(SqliteDb& db, std::string& error) {
  if (!db.Exec("CREATE TABLE IF NOT EXISTS fwflash_schema (version INTEGER NOT NULL)", error))
    return false;
  SqliteStatement current = db.Prepare("SELECT coalesce(max(version), 0) FROM fwflash_schema", error);
  if (!current.Valid() || current.Step(error) != SqliteStatement::StepResult::Row) return false;
  auto apply = [&](const Migration& migration, std::string& why) {
    if (!db.Exec(migration.sql, why)) return false;
    SqliteStatement done = db.Prepare("INSERT INTO fwflash_schema (version) VALUES (?1)", why);
    if (!done.Valid()) return false;
    done.BindInt(1, migration.version);
    return done.Run(why);
  };
  const int64_t version = current.Int(0);
  current = SqliteStatement();  // no read open while a migration drops a table
  return ApplyMigrations(version, kMigrations, apply, error);
}

}  // namespace

bool MakeSqliteSchema(SqliteDb& db, std::string& error) {
  return db.Transaction(true, [&](std::string& why) { return MigrateInTransaction(db, why); },
                        error);
}
