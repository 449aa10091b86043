#include "records/record_store.h"

#include "records/store_engines.h"

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& target, std::string& error,
                                             OpenProblem* problem, OpenEvents* events) {
  OpenProblem ignored;
  OpenProblem& found = problem != nullptr ? *problem : ignored;
  found = OpenProblem::Refused;
  const StoreTarget parsed = ParseStoreTarget(target);
  if (parsed.engine == StoreTarget::Engine::Postgres)
    return OpenPostgresStore(parsed.location, error, found, events);
  if (parsed.location.empty()) {
    error = "no record store named: give a SQLite file or a postgresql:// URI";
    return nullptr;
  }
  if (parsed.location.find("://") != std::string::npos) {
    error = "unknown kind of record store: give a SQLite file or a postgresql:// URI";
    return nullptr;
  }
  return OpenSqliteStore(parsed.location, error, found, events);
}
