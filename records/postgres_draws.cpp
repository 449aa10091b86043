#include "records/postgres_draws.h"

#include "records/store_engines.h"

namespace {

// The counter keeps the last value given (first - step while none was); it is moved up
// to a given first value, never down.
constexpr char kMakeCounterSql[] = R"sql(
INSERT INTO fwflash_field_counters (product, field, last_value) VALUES ($1, $2, $3)
ON CONFLICT (product, field) DO UPDATE SET last_value = excluded.last_value
WHERE $4::boolean AND fwflash_field_counters.last_value < excluded.last_value
)sql";

constexpr char kTakeCounterSql[] = R"sql(
UPDATE fwflash_field_counters SET last_value = last_value + $3
WHERE product = $1 AND field = $2 AND last_value <= $4
RETURNING last_value
)sql";

constexpr char kCountGivenSql[] = R"sql(
UPDATE fwflash_lists SET given = given + 1 WHERE name = $1 AND given < items
RETURNING items - given, secret, items
)sql";

// The list's row, locked above, makes its takers queue: the next item is this one's.
constexpr char kGiveItemSql[] = R"sql(
WITH next AS (
  SELECT seq, item FROM fwflash_list_items WHERE list = $1 AND given_ms IS NULL
  ORDER BY seq LIMIT 1
)
UPDATE fwflash_list_items AS i
SET given_ms = $2, item = CASE WHEN $3::boolean THEN i.digest ELSE i.item END
FROM next WHERE i.list = $1 AND i.seq = next.seq
RETURNING next.item
)sql";

constexpr char kReadListsSql[] = R"sql(
SELECT name, kind, length, secret, items, given,
  (SELECT count(*) FROM fwflash_list_items
   WHERE list = name AND given_ms >= $1 AND given_ms < $2)
FROM fwflash_lists ORDER BY name
)sql";

// A counter's values on the records of a range: the serial column for serial (records
// from before jobs have no fields), else the field's value in the fields' JSON as shown:
// a decimal, 0x and upper-case hex digits, or a MAC address. Each is keyed by its number
// as 16 hex digits, so that the text's least and greatest (bytewise) are the lowest and
// highest by number; the key is cut off again.
constexpr char kCounterRangeSql[] = R"sql(
WITH v AS (
  SELECT CASE WHEN $4 = 'serial' THEN serial::text ELSE fields::jsonb->>$4 END AS shown
  FROM fwflash_records WHERE product = $3 AND start_ms >= $1 AND start_ms < $2
), k AS (
  SELECT shown, CASE
    WHEN shown ~ '^[0-9]{1,19}$' THEN CASE WHEN shown::numeric <= 9223372036854775807
                                           THEN lpad(upper(to_hex(shown::bigint)), 16, '0') END
    WHEN shown ~ '^0x[0-9A-F]{1,16}$' THEN lpad(substr(shown, 3), 16, '0')
    WHEN shown ~ '^[0-9A-F]{2}(:[0-9A-F]{2}){5}$' THEN '0000' || replace(shown, ':', '') END AS key
  FROM v
)
SELECT substr(min((key || shown) COLLATE "C"), 17), substr(max((key || shown) COLLATE "C"), 17) FROM k
)sql";

}  // namespace

bool PgTakeCounter(PgDb& db, const std::string& product, const CounterDraw& counter,
                   std::optional<int64_t>& value, std::string& error) {
  if (!db.Exec(kMakeCounterSql, {PgText(product), PgText(counter.field), PgInt(counter.first - counter.step),
                                 PgBool(counter.firstGiven)}, error).Ok())
    return false;
  PgResult taken = db.Exec(kTakeCounterSql, {PgText(product), PgText(counter.field), PgInt(counter.step),
                                             PgInt(CounterTakeBound(counter))}, error);
  if (!taken.Ok()) return false;
  if (taken.Rows() > 0) value = taken.Int(0, 0);
  return true;
}

bool PgTakeItem(PgDb& db, const std::string& list, int64_t givenMs, std::optional<std::string>& item,
                int64_t& left, int64_t& items, std::string& error) {
  PgResult counted = db.Exec(kCountGivenSql, {PgText(list)}, error);
  if (!counted.Ok()) return false;
  if (counted.Rows() == 0) return true;
  left = counted.Int(0, 0);
  items = counted.Int(0, 2);
  PgResult given = db.Exec(kGiveItemSql, {PgText(list), PgInt(givenMs), PgBool(counted.Bool(0, 1))}, error);
  if (!given.Ok()) return false;
  if (given.Rows() == 0) {
    error = "the list " + list + " counts an item that is not in it";
    return false;
  }
  item = given.Text(0, 0);
  return true;
}

bool PgImportList(PgDb& db, const ListImport& import, bool& refused, std::string& error) {
  const ListInfo& wanted = import.list;
  if (!db.Exec("INSERT INTO fwflash_lists (name, kind, length, secret, items, given) "
               "VALUES ($1, $2, $3, $4, 0, 0) ON CONFLICT (name) DO NOTHING",
               {PgText(wanted.name), PgText(wanted.kind), PgInt(wanted.length), PgBool(wanted.secret)},
               error).Ok())
    return false;
  PgResult read = db.Exec("SELECT kind, length, secret, items FROM fwflash_lists WHERE name = $1 FOR UPDATE",
                          {PgText(wanted.name)}, error);
  if (!read.Ok() || read.Rows() != 1) return false;
  ListInfo kept = wanted;
  kept.kind = read.Text(0, 0);
  kept.length = read.Int(0, 1);
  kept.secret = read.Bool(0, 2);
  if (!(error = ListMismatch(kept, wanted)).empty()) return !(refused = true);
  int64_t seq = read.Int(0, 3);
  for (const ListImport::Item& item : import.items) {
    PgResult added = db.Exec("INSERT INTO fwflash_list_items (list, seq, item, digest) "
                             "VALUES ($1, $2, $3, $4) ON CONFLICT DO NOTHING RETURNING 1",
                             {PgText(wanted.name), PgInt(++seq), PgText(item.text), PgText(item.digest)},
                             error);
    if (!added.Ok()) return false;
    if (added.Rows() == 0) {
      error = ItemInListReason(import, item);
      return !(refused = true);
    }
  }
  return db.Exec("UPDATE fwflash_lists SET items = $2 WHERE name = $1", {PgText(wanted.name), PgInt(seq)},
                 error).Ok();
}

bool PgReadStock(PgDb& db, int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                 std::vector<CounterInfo>& counters, std::string& error) {
  PgResult readLists = db.Exec(kReadListsSql, {PgInt(sinceMs), PgInt(untilMs)}, error);
  if (!readLists.Ok()) return false;
  for (int row = 0; row < readLists.Rows(); ++row) {
    lists.push_back({readLists.Text(row, 0), readLists.Text(row, 1), readLists.Int(row, 2),
                     readLists.Bool(row, 3), static_cast<uint64_t>(readLists.Int(row, 4)),
                     static_cast<uint64_t>(readLists.Int(row, 5)), static_cast<uint64_t>(readLists.Int(row, 6))});
  }
  PgResult readCounters =
      db.Exec("SELECT product, field, last_value FROM fwflash_field_counters ORDER BY 1, 2", {}, error);
  if (!readCounters.Ok()) return false;
  for (int row = 0; row < readCounters.Rows(); ++row) {
    CounterInfo counter{readCounters.Text(row, 0), readCounters.Text(row, 1), readCounters.Int(row, 2),
                        std::nullopt, std::nullopt};
    PgResult range = db.Exec(kCounterRangeSql, {PgInt(sinceMs), PgInt(untilMs), PgText(counter.product),
                                                PgText(counter.field)}, error);
    if (!range.Ok() || range.Rows() != 1) return false;
    if (!range.IsNull(0, 0)) {
      counter.lowestInRange = range.Text(0, 0);
      counter.highestInRange = range.Text(0, 1);
    }
    counters.push_back(counter);
  }
  return true;
}
