// The engines behind OpenRecordStore, and what they share about the schema.
//
//   OpenSqliteStore(path, error, problem)
//                                    a SQLite file, made with its schema when missing
//   OpenPostgresStore(uri, error, problem)
//                                    a PostgreSQL server (Linux builds only)
//   kRecordSchemaVersion             the newest schema this build knows
//   NewerSchemaReason(version)       the refusal of a store whose schema is newer
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "records/record_store.h"

std::unique_ptr<RecordStore> OpenSqliteStore(const std::string& path, std::string& error,
                                             OpenProblem& problem);
std::unique_ptr<RecordStore> OpenPostgresStore(const std::string& uri, std::string& error,
                                               OpenProblem& problem);

constexpr int64_t kRecordSchemaVersion = 1;

inline std::string NewerSchemaReason(int64_t version) {
  return "the record store's schema is version " + std::to_string(version) +
         "; this fwflash knows up to version " + std::to_string(kRecordSchemaVersion) +
         ": use a newer fwflash";
}
