// The engines behind OpenRecordStore, and what they share about the schema, the draws
// and their messages.
//
//   OpenSqliteStore(path, error, problem, events)
//                                    a SQLite file, made with its schema when missing
//   OpenPostgresStore(uri, error, problem, events)
//                                    a PostgreSQL server
//   kRecordSchemaVersion             the newest schema this build knows
//   AddProtocolColumnsSql(table)     the protocol and baud columns added to a table of
//                                    records; RecordProtocolSql() for the store's
//   Migration                        a schema version, the SQL that makes it, and whether
//                                    it then fills the kept counts
//   SchemaIsNewer(applied)           whether the store's schema is newer than this build
//                                    knows: such a store is refused
//   ApplyMigrations(applied, migrations, apply, error)
//                                    refuses a store whose schema is newer than this build
//                                    knows, else applies, in order, each migration whose
//                                    version the store has not recorded
//   ValidDraws(draws, error)         false, with the reason, for a counter outside 0 .. 2^63-1
//                                    or a step beyond kLargestCounterStep
//   DrawValues(draws, record, ...)   each counter's and list's next value into the record
//   StoreWriteReason(store, why) / StoreReadReason(store, why)
//                                    a failed write or read of the named store
//   KeepRead(done, read, kept, store, error)
//                                    a read's end: the store's reason when it failed,
//                                    else kept takes what was read
//   BeginOutcome(written, exhausted, store, begun, record, error)
//                                    what an engine's BeginAttempt tells once its
//                                    transaction is over
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "records/record_store.h"

std::unique_ptr<RecordStore> OpenSqliteStore(const std::string& path, std::string& error,
                                             OpenProblem& problem, OpenEvents* events);
std::unique_ptr<RecordStore> OpenPostgresStore(const std::string& uri, std::string& error,
                                               OpenProblem& problem, OpenEvents* events);

constexpr int64_t kRecordSchemaVersion = 5;

// The protocol and rate of a record's transfer, added to a table of records (the store's
// or the spool's) that was made without them: its older rows went byte by byte at 9600.
inline std::string AddProtocolColumnsSql(const std::string& table) {
  return "ALTER TABLE " + table + " ADD COLUMN protocol integer NOT NULL DEFAULT 1;\n" +
         "ALTER TABLE " + table + " ADD COLUMN baud integer NOT NULL DEFAULT 9600;\n";
}
inline const char* RecordProtocolSql() {
  static const std::string sql = AddProtocolColumnsSql("fwflash_records");
  return sql.c_str();
}

struct Migration {
  int64_t version;
  const char* sql;
  bool fillsCounts = false;  // then fills the kept counts from the records already kept
};

inline bool SchemaIsNewer(const std::set<int64_t>& applied) {
  return !applied.empty() && *applied.rbegin() > kRecordSchemaVersion;
}

// apply runs one migration's SQL and notes its version, inside the engine's transaction.
template <size_t N>
bool ApplyMigrations(const std::set<int64_t>& applied, const Migration (&migrations)[N],
                     const std::function<bool(const Migration&, std::string&)>& apply,
                     std::string& error) {
  if (SchemaIsNewer(applied)) {
    error = "the record store's schema is version " + std::to_string(*applied.rbegin()) +
            "; this fwflash knows up to version " + std::to_string(kRecordSchemaVersion) +
            ": use a newer fwflash";
    return false;
  }
  for (const Migration& migration : migrations) {
    if (applied.count(migration.version) == 0 && !apply(migration, error)) return false;
  }
  return true;
}

inline bool ValidCounter(int64_t first, int64_t last, int64_t step) {
  return first >= 0 && last >= 0 && step >= 1 && step <= kLargestCounterStep;
}

inline bool ValidDraws(const AttemptDraws* draws, std::string& error) {
  if (draws == nullptr) return true;
  bool valid = true;
  for (const CounterDraw& counter : draws->counters)
    valid = valid && ValidCounter(counter.first, counter.last, counter.step);
  if (valid) return true;
  error = std::string("counters run from 0 to 2^63-1, with a step from 1 to ") + kLargestCounterStepText;
  return false;
}

// The largest last value from which the counter may still give one: its next value
// and the step's further values stay within the block.
inline int64_t CounterTakeBound(const CounterDraw& counter) {
  const int64_t room = counter.last - counter.step + 1;  // the largest value allowed
  return room < INT64_MIN + counter.step ? INT64_MIN : room - counter.step;
}

// The refusal once a counter has nothing left: the serial numbers are named as such.
inline std::string CounterExhausted(const std::string& product, const CounterDraw& counter) {
  if (counter.field == kSerialFieldName)
    return "the serial numbers of " + product + " up to " + std::to_string(counter.last) + " are used up";
  return "the counter " + counter.field + " of " + product + " is used up";
}

// Draws every counter and list into the record, through the engine's own takers, inside
// its transaction: takeCounter(counter, value, error) and takeItem(list, item, left,
// items, error) leave value or item empty when nothing is left, and then exhausted is the
// refusal. The serial counter's value is the record's serial number. The record's fields
// are described last.
template <typename TakeCounter, typename TakeItem>
bool DrawValues(const AttemptDraws& draws, DeviceRecord& record, TakeCounter takeCounter,
                TakeItem takeItem, std::string& exhausted, std::string& error) {
  for (const CounterDraw& counter : draws.counters) {
    std::optional<int64_t> value;
    if (!takeCounter(counter, value, error)) return false;
    if (!value) {
      exhausted = CounterExhausted(draws.product, counter);
      return false;
    }
    if (counter.field == kSerialFieldName)
      record.serial = *value;
    else
      record.drawn.push_back({counter.field, Secret(std::to_string(*value)), "", 0, 0});
  }
  for (const ListDraw& list : draws.lists) {
    std::optional<std::string> item;
    int64_t left = 0, items = 0;
    if (!takeItem(list.list, item, left, items, error)) return false;
    if (!item) {
      exhausted = "the list " + list.list + " is used up";
      return false;
    }
    record.drawn.push_back({list.field, Secret(*item), list.list, left, items});
  }
  if (draws.describe) draws.describe(record);
  return true;
}

// An import whose list exists already must be read as it was first: the refusal, or "".
inline std::string ListMismatch(const ListInfo& kept, const ListInfo& wanted) {
  if (kept.kind == wanted.kind && kept.length == wanted.length && kept.secret == wanted.secret) return "";
  const auto describe = [](const ListInfo& list) {
    return list.kind + (list.kind == "number" ? "" : " of " + std::to_string(list.length)) +
           (list.secret ? ", secret" : ", not secret");
  };
  return "the list " + kept.name + " is " + describe(kept) + "; this import is " + describe(wanted);
}

inline std::string ItemInListReason(const ListImport& import, const ListImport::Item& item) {
  return "line " + std::to_string(item.line) + ": this item is already in the list " +
         import.list.name + " (nothing was imported)";
}

inline std::string StoreWriteReason(const std::string& store, const std::string& why) {
  return "cannot write to the record store " + store + ": " + why;
}

inline std::string StoreReadReason(const std::string& store, const std::string& why) {
  return "cannot read the record store " + store + ": " + why;
}

// A counter or list used up (exhausted is the refusal), a failed write of the store, or
// the attempt begun: then record takes begun's drawn values.
inline BeginResult BeginOutcome(bool written, const std::string& exhausted, const std::string& store,
                                const DeviceRecord& begun, DeviceRecord& record, std::string& error) {
  if (!exhausted.empty()) {
    error = exhausted;
    return BeginResult::BlockExhausted;
  }
  if (!written) {
    error = StoreWriteReason(store, error);
    return BeginResult::Failed;
  }
  record = begun;
  return BeginResult::Begun;
}

template <typename Read>
bool KeepRead(bool done, Read& read, Read& kept, const std::string& store, std::string& error) {
  if (!done) {
    error = StoreReadReason(store, error);
    return false;
  }
  kept = std::move(read);
  return true;
}
