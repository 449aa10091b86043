#include "records/sqlite_draws.h"

#include "records/store_engines.h"

namespace {

using Row = SqliteStatement::StepResult;

// The counter keeps the last value given (first - step while none was); it is moved up
// to a given first value, never down.
constexpr char kMakeCounterSql[] = R"sql(
INSERT INTO fwflash_field_counters (product, field, last_value) VALUES (?1, ?2, ?3)
ON CONFLICT (product, field) DO UPDATE SET last_value = excluded.last_value
WHERE ?4 AND fwflash_field_counters.last_value < excluded.last_value
)sql";

constexpr char kTakeCounterSql[] = R"sql(
UPDATE fwflash_field_counters SET last_value = last_value + ?3
WHERE product = ?1 AND field = ?2 AND last_value <= ?4
RETURNING last_value
)sql";

constexpr char kCountGivenSql[] = R"sql(
UPDATE fwflash_lists SET given = given + 1 WHERE name = ?1 AND given < items
RETURNING items - given, secret, items
)sql";

constexpr char kNextItemSql[] = R"sql(
SELECT seq, item FROM fwflash_list_items WHERE list = ?1 AND given_ms IS NULL ORDER BY seq LIMIT 1
)sql";

constexpr char kGiveItemSql[] = R"sql(
UPDATE fwflash_list_items SET given_ms = ?3, item = CASE WHEN ?4 THEN digest ELSE item END
WHERE list = ?1 AND seq = ?2
)sql";

constexpr char kReadListsSql[] = R"sql(
SELECT name, kind, length, secret, items, given,
  (SELECT count(*) FROM fwflash_list_items
   WHERE list = name AND given_ms >= ?1 AND given_ms < ?2)
FROM fwflash_lists ORDER BY name
)sql";

// A counter's values on the records of a range: the serial column for serial (records
// from before jobs have no fields), else the field's value in the fields' JSON as shown:
// a decimal, 0x and upper-case hex digits, or a MAC address. Each is keyed by its number
// as 16 hex digits, so that the text's least and greatest are the lowest and highest by
// number; the key is cut off again.
constexpr char kCounterRangeSql[] = R"sql(
WITH v AS (
  SELECT CASE WHEN ?4 = 'serial' THEN CAST(serial AS TEXT)
              ELSE CAST(json_extract(fields, '$.' || ?4) AS TEXT) END AS shown
  FROM fwflash_records WHERE product = ?3 AND start_ms >= ?1 AND start_ms < ?2
), k AS (
  SELECT shown, CASE
    WHEN shown GLOB '[0-9]*' AND shown NOT GLOB '*[^0-9]*' AND length(shown) <= 19
      THEN printf('%016X', CAST(shown AS INTEGER))
    WHEN shown GLOB '0x[0-9A-F]*' AND substr(shown, 3) NOT GLOB '*[^0-9A-F]*' AND length(shown) <= 18
      THEN substr('0000000000000000' || substr(shown, 3), -16)
    WHEN shown GLOB '[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]'
      THEN '0000' || replace(shown, ':', '') END AS key
  FROM v
)
SELECT substr(min(key || shown), 17), substr(max(key || shown), 17) FROM k
)sql";

}  // namespace

bool SqliteTakeCounter(SqliteDb& db, const std::string& product, const CounterDraw& counter,
                       std::optional<int64_t>& value, std::string& error) {
  SqliteStatement make = db.Prepare(kMakeCounterSql, error);
  if (!make.Valid()) return false;
  make.BindText(1, product);
  make.BindText(2, counter.field);
  make.BindInt(3, counter.first - counter.step);
  make.BindInt(4, counter.firstGiven ? 1 : 0);
  if (!make.Run(error)) return false;
  SqliteStatement take = db.Prepare(kTakeCounterSql, error);
  if (!take.Valid()) return false;
  take.BindText(1, product);
  take.BindText(2, counter.field);
  take.BindInt(3, counter.step);
  take.BindInt(4, CounterTakeBound(counter));
  const Row step = take.Step(error);
  if (step == Row::Failed) return false;
  if (step == Row::Row) value = take.Int(0);
  return step == Row::Done || take.Run(error);
}

bool SqliteTakeItem(SqliteDb& db, const std::string& list, int64_t givenMs,
                    std::optional<std::string>& item, int64_t& left, int64_t& items, std::string& error) {
  SqliteStatement count = db.Prepare(kCountGivenSql, error);
  if (!count.Valid()) return false;
  count.BindText(1, list);
  const Row counted = count.Step(error);
  if (counted != Row::Row) return counted == Row::Done;
  left = count.Int(0);
  const bool secret = count.Bool(1);
  items = count.Int(2);
  if (!count.Run(error)) return false;
  SqliteStatement next = db.Prepare(kNextItemSql, error);
  if (!next.Valid()) return false;
  next.BindText(1, list);
  if (next.Step(error) != Row::Row) {
    if (error.empty()) error = "the list " + list + " counts an item that is not in it";
    return false;
  }
  const int64_t seq = next.Int(0);
  item = next.Text(1);
  next = SqliteStatement();
  SqliteStatement give = db.Prepare(kGiveItemSql, error);
  if (!give.Valid()) return false;
  give.BindText(1, list);
  give.BindInt(2, seq);
  give.BindInt(3, givenMs);
  give.BindInt(4, secret ? 1 : 0);
  return give.Run(error);
}

bool SqliteImportList(SqliteDb& db, const ListImport& import, bool& refused, std::string& error) {
  const ListInfo& wanted = import.list;
  SqliteStatement make = db.Prepare(
      "INSERT INTO fwflash_lists (name, kind, length, secret, items, given) "
      "VALUES (?1, ?2, ?3, ?4, 0, 0) ON CONFLICT (name) DO NOTHING", error);
  if (!make.Valid()) return false;
  make.BindText(1, wanted.name);
  make.BindText(2, wanted.kind);
  make.BindInt(3, wanted.length);
  make.BindInt(4, wanted.secret ? 1 : 0);
  if (!make.Run(error)) return false;
  SqliteStatement read =
      db.Prepare("SELECT kind, length, secret, items FROM fwflash_lists WHERE name = ?1", error);
  if (!read.Valid()) return false;
  read.BindText(1, wanted.name);
  if (read.Step(error) != Row::Row) return false;
  ListInfo kept = wanted;
  kept.kind = read.Text(0);
  kept.length = read.Int(1);
  kept.secret = read.Bool(2);
  const int64_t base = read.Int(3);
  read = SqliteStatement();
  if (!(error = ListMismatch(kept, wanted)).empty()) return !(refused = true);
  SqliteStatement add = db.Prepare(
      "INSERT INTO fwflash_list_items (list, seq, item, digest) VALUES (?1, ?2, ?3, ?4) "
      "ON CONFLICT DO NOTHING", error);
  if (!add.Valid()) return false;
  int64_t seq = base;
  for (const ListImport::Item& item : import.items) {
    add.Reset();
    add.BindText(1, wanted.name);
    add.BindInt(2, ++seq);
    add.BindText(3, item.text);
    add.BindText(4, item.digest);
    if (!add.Run(error)) return false;
    if (db.Changes() == 0) {
      error = ItemInListReason(import, item);
      return !(refused = true);
    }
  }
  add = SqliteStatement();
  SqliteStatement grow = db.Prepare("UPDATE fwflash_lists SET items = ?2 WHERE name = ?1", error);
  if (!grow.Valid()) return false;
  grow.BindText(1, wanted.name);
  grow.BindInt(2, seq);
  return grow.Run(error);
}

bool SqliteReadStock(SqliteDb& db, int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                     std::vector<CounterInfo>& counters, std::string& error) {
  SqliteStatement readLists = db.Prepare(kReadListsSql, error);
  if (!readLists.Valid()) return false;
  readLists.BindInt(1, sinceMs);
  readLists.BindInt(2, untilMs);
  Row step;
  while ((step = readLists.Step(error)) == Row::Row) {
    lists.push_back({readLists.Text(0), readLists.Text(1), readLists.Int(2), readLists.Bool(3),
                     static_cast<uint64_t>(readLists.Int(4)), static_cast<uint64_t>(readLists.Int(5)),
                     static_cast<uint64_t>(readLists.Int(6))});
  }
  if (step != Row::Done) return false;
  SqliteStatement readCounters = db.Prepare(
      "SELECT product, field, last_value FROM fwflash_field_counters ORDER BY 1, 2", error);
  if (!readCounters.Valid()) return false;
  while ((step = readCounters.Step(error)) == Row::Row)
    counters.push_back({readCounters.Text(0), readCounters.Text(1), readCounters.Int(2), std::nullopt, std::nullopt});
  if (step != Row::Done) return false;
  readCounters = SqliteStatement();
  for (CounterInfo& counter : counters) {
    SqliteStatement range = db.Prepare(kCounterRangeSql, error);
    if (!range.Valid()) return false;
    range.BindInt(1, sinceMs);
    range.BindInt(2, untilMs);
    range.BindText(3, counter.product);
    range.BindText(4, counter.field);
    if (range.Step(error) != Row::Row) return false;
    if (!range.IsNull(0)) {
      counter.lowestInRange = range.Text(0);
      counter.highestInRange = range.Text(1);
    }
  }
  return true;
}
