// A DeviceRecord as a row of SQLite columns, shared by the store's table and the spool's.
//
//   kSqliteRecordColumns               the 18 columns, in the order bound and read
//   kSqliteRecordUpdates               "start_ms = excluded.start_ms, ..." for every column
//                                      but the id, for an upsert
//   SqliteRecordValues(first)         "?first, ..., ?first+17", the values' places
//   BindRecord(statement, first, r)    binds the record to values first .. first + 17
//   ReadRecord(statement, first, r)    reads the record from columns first .. first + 17
#pragma once

#include <string>

#include "records/device_record.h"
#include "records/sqlite_db.h"

extern const char kSqliteRecordColumns[];
extern const char kSqliteRecordUpdates[];
constexpr int kRecordColumnCount = 18;

std::string SqliteRecordValues(int first);
void BindRecord(SqliteStatement& statement, int first, const DeviceRecord& record);
void ReadRecord(const SqliteStatement& statement, int first, DeviceRecord& record);
