#include "records/postgres_schema.h"

#include "records/kept_counts.h"
#include "records/postgres_counts_schema.h"
#include "records/store_engines.h"

namespace {

// Each migration runs once, in order; a released one is never edited, only followed.
// Texts compare byte by byte (COLLATE "C"), as in SQLite, so both engines sort alike.
// Times are milliseconds UTC; messages a JSON array of strings; the counter keeps the
// last number given (first - 1 while none was), so that 2^63-1 can be given too.
const Migration kMigrations[] = {
    {1, R"sql(
CREATE TABLE fwflash_records (
  id text COLLATE "C" PRIMARY KEY,
  start_ms bigint NOT NULL,
  end_ms bigint,
  pc text COLLATE "C" NOT NULL,
  port text COLLATE "C" NOT NULL,
  product text COLLATE "C" NOT NULL,
  fwflash_version text NOT NULL,
  firmware_size bigint NOT NULL,
  firmware_crc32 bigint NOT NULL,
  image_crc32 bigint NOT NULL,
  serial bigint,
  ok boolean NOT NULL,
  step text COLLATE "C" NOT NULL,
  byte bigint NOT NULL,
  bytes bigint NOT NULL,
  seconds double precision NOT NULL,
  sync_acknowledged boolean NOT NULL,
  messages text NOT NULL
);
CREATE INDEX fwflash_records_by_start ON fwflash_records (start_ms, id);
CREATE INDEX fwflash_records_by_serial ON fwflash_records (serial);
CREATE TABLE fwflash_serial_counters (
  product text COLLATE "C" PRIMARY KEY,
  last_serial bigint NOT NULL
);
CREATE TABLE fwflash_stations (
  pc text COLLATE "C" NOT NULL,
  port text COLLATE "C" NOT NULL,
  state text NOT NULL,
  percent integer NOT NULL,
  serial bigint,
  step text NOT NULL,
  message text NOT NULL,
  firmware_crc32 bigint NOT NULL,
  updated_ms bigint NOT NULL,
  PRIMARY KEY (pc, port)
);
)sql"},
    // A station's label for the dashboard, and the time of its last progress: heartbeats
    // rewrite updated_ms, so a stuck transfer needs a time of its own.
    {2, R"sql(
ALTER TABLE fwflash_stations ADD COLUMN label text COLLATE "C" NOT NULL DEFAULT '';
ALTER TABLE fwflash_stations ADD COLUMN progress_ms bigint NOT NULL DEFAULT 0;
UPDATE fwflash_stations SET progress_ms = updated_ms;
)sql"},
    {3, PostgresCountsSql(), true},
    // Counters per product and field (the serial counters become the field serial's),
    // the job and the fields of each record, and lists whose items are given once.
    {4, R"sql(
CREATE TABLE fwflash_field_counters (
  product text COLLATE "C" NOT NULL,
  field text COLLATE "C" NOT NULL,
  last_value bigint NOT NULL,
  PRIMARY KEY (product, field)
);
INSERT INTO fwflash_field_counters (product, field, last_value)
  SELECT product, 'serial', last_serial FROM fwflash_serial_counters;
DROP TABLE fwflash_serial_counters;
ALTER TABLE fwflash_records ADD COLUMN job_sha256 text NOT NULL DEFAULT '';
ALTER TABLE fwflash_records ADD COLUMN fields text NOT NULL DEFAULT '{}';
CREATE TABLE fwflash_lists (
  name text COLLATE "C" PRIMARY KEY,
  kind text NOT NULL,
  length bigint NOT NULL,
  secret boolean NOT NULL,
  items bigint NOT NULL,
  given bigint NOT NULL
);
CREATE TABLE fwflash_list_items (
  list text COLLATE "C" NOT NULL,
  seq bigint NOT NULL,
  item text NOT NULL,
  digest text NOT NULL,
  given_ms bigint,
  PRIMARY KEY (list, seq),
  UNIQUE (list, digest)
);
CREATE INDEX fwflash_list_items_left ON fwflash_list_items (list, seq) WHERE given_ms IS NULL;
)sql"},
    // The protocol and rate each record's image went at; older records went byte by byte.
    {5, RecordProtocolSql()},
};

// The advisory lock's key is "fwflash" in ASCII, the same for every fwflash on the server.
constexpr char kSchemaLockSql[] = "SELECT pg_advisory_xact_lock(28841729413182312)";

bool FillCounts(PgDb& db, OpenEvents* events, std::string& error) {
  PgResult kept = db.Exec("SELECT min(start_ms), max(start_ms), count(*) FROM fwflash_records", {}, error);
  if (!kept.Ok()) return false;
  if (kept.Int(0, 2) == 0) return true;
  const std::string counts = PostgresParams(kFillCountsSql), steps = PostgresParams(kFillStepsSql);
  return FillKeptCounts(kept.Int(0, 0), kept.Int(0, 1), static_cast<uint64_t>(kept.Int(0, 2)),
                        [&](int64_t from, int64_t to, std::string& why) {
                          return db.Exec(counts.c_str(), {PgInt(from), PgInt(to)}, why).Ok() &&
                                 db.Exec(steps.c_str(), {PgInt(from), PgInt(to)}, why).Ok();
                        }, events, error);
}

bool MigrateInTransaction(PgDb& db, OpenEvents* events, bool& newer, std::string& error) {
  if (!db.Exec(kSchemaLockSql, {}, error).Ok() ||
      !db.Exec("CREATE TABLE IF NOT EXISTS fwflash_schema (version bigint NOT NULL)", {}, error).Ok())
    return false;
  PgResult recorded = db.Exec("SELECT version FROM fwflash_schema", {}, error);
  if (!recorded.Ok()) return false;
  std::set<int64_t> applied;
  for (int row = 0; row < recorded.Rows(); ++row) applied.insert(recorded.Int(row, 0));
  newer = SchemaIsNewer(applied);
  auto apply = [&](const Migration& migration, std::string& why) {
    return db.Exec(migration.sql, {}, why).Ok() &&
           (!migration.fillsCounts || FillCounts(db, events, why)) &&
           db.Exec("INSERT INTO fwflash_schema (version) VALUES ($1)", {PgInt(migration.version)},
                   why).Ok();
  };
  return ApplyMigrations(applied, kMigrations, apply, error);
}

}  // namespace

bool MakePostgresSchema(PgDb& db, OpenEvents* events, std::string& error, OpenProblem& problem) {
  bool newer = false;
  const auto migrate = [&](std::string& why) { return MigrateInTransaction(db, events, newer, why); };
  if (db.Transaction("BEGIN", migrate, error)) return true;
  // A newer schema or missing rights stay; a connection lost meanwhile may come back.
  problem = newer || db.FailedSqlState() == kInsufficientPrivilege ? OpenProblem::Refused
                                                                    : OpenProblem::Unreachable;
  return false;
}
