// The record store's tables on a PostgreSQL server, made and migrated in one transaction
// under an advisory lock, so that processes meeting a new database at once find it made
// exactly once.
//
//   MakePostgresSchema(db, events, error)
//                                   runs each migration the database lacks, once; refuses
//                                   a database whose schema is newer than this build
//                                   knows; events (if any) hear of a long filling of the
//                                   kept counts
#pragma once

#include <string>

#include "records/postgres_db.h"

bool MakePostgresSchema(PgDb& db, OpenEvents* events, std::string& error);
