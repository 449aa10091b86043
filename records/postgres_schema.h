// The record store's tables on a PostgreSQL server, made and migrated in one transaction
// under an advisory lock, so that processes meeting a new database at once find it made
// exactly once.
//
//   MakePostgresSchema(db, events, error, problem)
//                                   runs each migration the database lacks, once; refuses
//                                   a database whose schema is newer than this build
//                                   knows; events (if any) hear of a long filling of the
//                                   kept counts. On a failure, problem tells whether it
//                                   stays (Refused: a newer schema, missing rights) or may
//                                   pass (Unreachable)
#pragma once

#include <string>

#include "records/postgres_db.h"

// The SQLSTATE of a statement refused for missing rights.
constexpr char kInsufficientPrivilege[] = "42501";

bool MakePostgresSchema(PgDb& db, OpenEvents* events, std::string& error, OpenProblem& problem);
