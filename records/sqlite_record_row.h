// A DeviceRecord as a row of SQLite values, shared by the store's table and the spool's
// (both read it back with RecordFromColumns, record_columns.h).
//
//   kSqliteRecordUpdates               "start_ms = excluded.start_ms, ..." for every column
//                                      but the id, for an upsert
//   SqliteRecordValues(first)         "?first, ..., ?first+19", the values' places
//   BindRecord(statement, first, r)    binds the record to values first .. first + 19,
//                                      in kRecordColumns' order
#pragma once

#include <string>

#include "records/device_record.h"
#include "records/record_columns.h"
#include "records/sqlite_db.h"

extern const char kSqliteRecordUpdates[];

std::string SqliteRecordValues(int first);
void BindRecord(SqliteStatement& statement, int first, const DeviceRecord& record);
