#include "records/sqlite_counts_schema.h"

#include <string>

namespace {

// Both tables' key: a period, its start and what a count is of.
constexpr char kKeyColumns[] = R"sql(
  period_ms INTEGER NOT NULL,
  start_ms INTEGER NOT NULL,
  pc TEXT NOT NULL,
  port TEXT NOT NULL,
  product TEXT NOT NULL,
  firmware_size INTEGER NOT NULL,
  firmware_crc32 INTEGER NOT NULL,
)sql";

constexpr char kKeyNames[] = "period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32";

constexpr char kCountsColumns[] = R"sql(  passed INTEGER NOT NULL,
  failed INTEGER NOT NULL,
  serials INTEGER NOT NULL,
  lowest_serial INTEGER,
  highest_serial INTEGER,
)sql";

constexpr char kStepsColumns[] = R"sql(  step TEXT NOT NULL,
  failed INTEGER NOT NULL,
)sql";

// Per row and period ({R}: new or old; {P}: the period in ms) what adds a record to its
// counts and what takes it away. A row whose devices reach zero goes; its smallest and
// largest serial number are looked up again among the records only when the one taken
// away was one of them.
constexpr char kKey[] =
    "period_ms = {P} AND start_ms = {R}.start_ms - (({R}.start_ms % {P}) + {P}) % {P} "
    "AND pc = {R}.pc AND port = {R}.port AND product = {R}.product "
    "AND firmware_size = {R}.firmware_size AND firmware_crc32 = {R}.firmware_crc32";

constexpr char kCountAdd[] = R"sql(
INSERT INTO fwflash_counts VALUES ({P}, {R}.start_ms - (({R}.start_ms % {P}) + {P}) % {P},
  {R}.pc, {R}.port, {R}.product, {R}.firmware_size, {R}.firmware_crc32, {R}.ok <> 0,
  {R}.ok = 0, {R}.serial IS NOT NULL, {R}.serial, {R}.serial)
ON CONFLICT (period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32)
DO UPDATE SET passed = passed + excluded.passed, failed = failed + excluded.failed,
  serials = serials + excluded.serials,
  lowest_serial = coalesce(min(lowest_serial, excluded.lowest_serial), lowest_serial,
                           excluded.lowest_serial),
  highest_serial = coalesce(max(highest_serial, excluded.highest_serial), highest_serial,
                            excluded.highest_serial);
)sql";

constexpr char kCountRemove[] = R"sql(
UPDATE fwflash_counts SET passed = passed - ({R}.ok <> 0), failed = failed - ({R}.ok = 0),
  serials = serials - ({R}.serial IS NOT NULL) WHERE {KEY};
DELETE FROM fwflash_counts WHERE {KEY} AND passed = 0 AND failed = 0;
UPDATE fwflash_counts SET
  lowest_serial = (SELECT min(r.serial) FROM fwflash_records r WHERE {SAME}),
  highest_serial = (SELECT max(r.serial) FROM fwflash_records r WHERE {SAME})
WHERE {KEY} AND {R}.serial IS NOT NULL AND {R}.serial IN (lowest_serial, highest_serial);
)sql";

constexpr char kSameRows[] =
    "r.start_ms >= fwflash_counts.start_ms AND r.start_ms < fwflash_counts.start_ms + {P} "
    "AND r.pc = fwflash_counts.pc AND r.port = fwflash_counts.port "
    "AND r.product = fwflash_counts.product AND r.firmware_size = fwflash_counts.firmware_size "
    "AND r.firmware_crc32 = fwflash_counts.firmware_crc32";

// A completed attempt in the same counts as its interrupted one: only the outcome moves.
constexpr char kCountShift[] = R"sql(
UPDATE fwflash_counts SET passed = passed + (new.ok <> 0) - (old.ok <> 0),
  failed = failed + (new.ok = 0) - (old.ok = 0) WHERE {KEY};
)sql";

constexpr char kStepAdd[] = R"sql(
INSERT INTO fwflash_failed_steps SELECT {P}, {R}.start_ms - (({R}.start_ms % {P}) + {P}) % {P},
  {R}.pc, {R}.port, {R}.product, {R}.firmware_size, {R}.firmware_crc32, {R}.step, 1
WHERE {R}.ok = 0
ON CONFLICT (period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32, step)
DO UPDATE SET failed = failed + 1;
)sql";

constexpr char kStepRemove[] = R"sql(
UPDATE fwflash_failed_steps SET failed = failed - 1 WHERE {KEY} AND step = {R}.step AND {R}.ok = 0;
DELETE FROM fwflash_failed_steps WHERE {KEY} AND step = {R}.step AND failed = 0;
)sql";

constexpr char kSameCounts[] =
    "new.start_ms = old.start_ms AND new.pc = old.pc AND new.port = old.port "
    "AND new.product = old.product AND new.firmware_size = old.firmware_size "
    "AND new.firmware_crc32 = old.firmware_crc32 AND new.serial IS old.serial";

void Replace(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// The statements for one row, for the hour and then the day.
std::string ForBothPeriods(const std::string& statements, const char* row) {
  std::string both;
  for (const char* period : {"3600000", "86400000"}) {
    std::string text = statements;
    Replace(text, "{KEY}", kKey);
    Replace(text, "{SAME}", kSameRows);
    Replace(text, "{R}", row);
    Replace(text, "{P}", period);
    both += text;
  }
  return both;
}

// A table of the key's columns and its own, keyed by the key's and keyMore.
std::string Table(const char* name, const char* columns, const char* keyMore) {
  return std::string("CREATE TABLE ") + name + " (" + kKeyColumns + columns + "  PRIMARY KEY (" + kKeyNames +
         keyMore + ")\n) WITHOUT ROWID;\n";
}

std::string Make() {
  const std::string add = std::string(kCountAdd) + kStepAdd, remove = std::string(kCountRemove) + kStepRemove;
  return Table("fwflash_counts", kCountsColumns, "") + Table("fwflash_failed_steps", kStepsColumns, ", step") +
         "CREATE TRIGGER fwflash_counts_insert AFTER INSERT ON fwflash_records BEGIN " +
         ForBothPeriods(add, "new") + "END;\n" +
         "CREATE TRIGGER fwflash_counts_delete AFTER DELETE ON fwflash_records BEGIN " +
         ForBothPeriods(remove, "old") + "END;\n" +
         "CREATE TRIGGER fwflash_counts_complete AFTER UPDATE ON fwflash_records WHEN " + kSameCounts +
         " BEGIN " + ForBothPeriods(kCountShift, "old") + ForBothPeriods(kStepRemove, "old") +
         ForBothPeriods(kStepAdd, "new") + "END;\n" +
         "CREATE TRIGGER fwflash_counts_move AFTER UPDATE ON fwflash_records WHEN NOT (" + kSameCounts +
         ") BEGIN " + ForBothPeriods(remove, "old") + ForBothPeriods(add, "new") + "END;\n";
}

}  // namespace

const char* SqliteCountsSql() {
  static const std::string sql = Make();
  return sql.c_str();
}
