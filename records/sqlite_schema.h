// The record store's tables in a SQLite file, made and migrated in one write transaction,
// so that processes opening a new file at once find it made exactly once.
//
//   MakeSqliteSchema(db, events, error)
//                                 runs each migration the file lacks, once; refuses a file
//                                 whose schema is newer than this build knows; events
//                                 (if any) hear of a long filling of the kept counts
//   kSqliteRecordColumnsV1        the record's columns after its id, as the first schema
//                                 made them; the spool's table holds them too
#pragma once

#include <string>

#include "records/record_store.h"
#include "records/sqlite_db.h"

bool MakeSqliteSchema(SqliteDb& db, OpenEvents* events, std::string& error);

extern const char kSqliteRecordColumnsV1[];
