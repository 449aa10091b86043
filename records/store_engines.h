// The engines behind OpenRecordStore, and what they share about the schema, the serial
// blocks and their messages.
//
//   OpenSqliteStore(path, error, problem)
//                                    a SQLite file, made with its schema when missing
//   OpenPostgresStore(uri, error, problem)
//                                    a PostgreSQL server
//   kRecordSchemaVersion             the newest schema this build knows
//   Migration                        a schema version, the SQL that makes it, and whether
//                                    it then fills the kept counts
//   ApplyMigrations(applied, migrations, apply, error)
//                                    refuses a store whose schema is newer than this build
//                                    knows, else applies, in order, each migration whose
//                                    version the store has not recorded
//   ValidSerialBlock(block, error)   false, with the reason, for numbers outside 0 .. 2^63-1
//   ExhaustedReason(block)           the refusal when the block has no number left
//   StoreWriteReason(store, why) / StoreReadReason(store, why)
//                                    a failed write or read of the named store
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "records/record_store.h"

std::unique_ptr<RecordStore> OpenSqliteStore(const std::string& path, std::string& error,
                                             OpenProblem& problem);
std::unique_ptr<RecordStore> OpenPostgresStore(const std::string& uri, std::string& error,
                                               OpenProblem& problem);

constexpr int64_t kRecordSchemaVersion = 3;

struct Migration {
  int64_t version;
  const char* sql;
  bool fillsCounts = false;  // then fills the kept counts from the records already kept
};

// apply runs one migration's SQL and notes its version, inside the engine's transaction.
template <size_t N>
bool ApplyMigrations(const std::set<int64_t>& applied, const Migration (&migrations)[N],
                     const std::function<bool(const Migration&, std::string&)>& apply,
                     std::string& error) {
  const int64_t current = applied.empty() ? 0 : *applied.rbegin();
  if (current > kRecordSchemaVersion) {
    error = "the record store's schema is version " + std::to_string(current) +
            "; this fwflash knows up to version " + std::to_string(kRecordSchemaVersion) +
            ": use a newer fwflash";
    return false;
  }
  for (const Migration& migration : migrations) {
    if (applied.count(migration.version) == 0 && !apply(migration, error)) return false;
  }
  return true;
}

inline bool ValidSerialBlock(const SerialBlock* block, std::string& error) {
  if (block == nullptr || (block->first >= 0 && block->last >= 0)) return true;
  error = "serial numbers run from 0 to 2^63-1";
  return false;
}

inline std::string ExhaustedReason(const SerialBlock& block) {
  return "no serial number left for " + block.product + " up to " + std::to_string(block.last);
}

inline std::string StoreWriteReason(const std::string& store, const std::string& why) {
  return "cannot write to the record store " + store + ": " + why;
}

inline std::string StoreReadReason(const std::string& store, const std::string& why) {
  return "cannot read the record store " + store + ": " + why;
}
