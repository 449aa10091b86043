// A DeviceRecord as a row of SQLite values, shared by the store's table and the spool's
// (both read it back with RecordFromColumns, record_columns.h).
//
//   BindRecord(statement, first, r)    binds the record to values first .. first + 21,
//                                      in kRecordColumnList's order
#pragma once

#include <string>

#include "records/device_record.h"
#include "records/record_columns.h"
#include "records/sqlite_db.h"

void BindRecord(SqliteStatement& statement, int first, const DeviceRecord& record);
