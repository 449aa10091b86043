// The PostgreSQL store's counters and lists, inside the caller's transaction. Takers of
// one counter or list queue on its row until the commit, so no value is given twice.
//
//   PgTakeCounter(db, product, counter, value, error)
//                            makes the counter when new (moving it up to a given first
//                            value), then takes its next value; none when the block ends
//   PgTakeItem(db, list, givenMs, item, left, items, error)
//                            the list's next item not yet given, marked given (a secret
//                            list's item replaced by its SHA-256); none when it is empty
//   PgImportList(db, import, refused, error)
//                            adds the items; refused when the list does not match or
//                            holds an item already
//   PgReadStock(db, sinceMs, untilMs, lists, counters, error)
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/postgres_db.h"
#include "records/record_store.h"

bool PgTakeCounter(PgDb& db, const std::string& product, const CounterDraw& counter,
                   std::optional<int64_t>& value, std::string& error);
bool PgTakeItem(PgDb& db, const std::string& list, int64_t givenMs, std::optional<std::string>& item,
                int64_t& left, int64_t& items, std::string& error);
bool PgImportList(PgDb& db, const ListImport& import, bool& refused, std::string& error);
bool PgReadStock(PgDb& db, int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                 std::vector<CounterInfo>& counters, std::string& error);
