#include "records/record_store.h"

#include "records/postgres_uri.h"
#include "records/store_engines.h"

namespace {

constexpr char kSqlitePrefix[] = "sqlite:";

}  // namespace

bool IsPostgresTarget(const std::string& target) { return IsPostgresUri(target); }

std::string StoreTargetName(const std::string& target) {
  return IsPostgresTarget(target) ? UriWithoutPassword(target) : target;
}

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& target, std::string& error,
                                             OpenProblem* problem) {
  OpenProblem ignored;
  OpenProblem& found = problem != nullptr ? *problem : ignored;
  found = OpenProblem::Refused;
  if (IsPostgresTarget(target)) return OpenPostgresStore(target, error, found);
  const std::string prefix = kSqlitePrefix;
  const std::string path =
      target.compare(0, prefix.size(), prefix) == 0 ? target.substr(prefix.size()) : target;
  if (path.empty()) {
    error = "no record store named: give a SQLite file or a postgresql:// URI";
    return nullptr;
  }
  if (path.find("://") != std::string::npos) {
    error = "unknown kind of record store: give a SQLite file or a postgresql:// URI";
    return nullptr;
  }
  return OpenSqliteStore(path, error, found);
}
