// The PostgreSQL engine lands in the next commit.
#include "records/store_engines.h"

std::unique_ptr<RecordStore> OpenPostgresStore(const std::string&, std::string& error,
                                               OpenProblem& problem) {
  problem = OpenProblem::Refused;
  error = "this fwflash-cli has no PostgreSQL client yet; use a SQLite file";
  return nullptr;
}
