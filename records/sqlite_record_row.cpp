#include "records/sqlite_record_row.h"

#include "records/record_messages.h"

void BindRecord(SqliteStatement& statement, int first, const DeviceRecord& record) {
  statement.BindText(first, record.id);
  statement.BindInt(first + 1, record.startMs);
  statement.BindOptionalInt(first + 2, record.endMs);
  statement.BindText(first + 3, record.pc);
  statement.BindText(first + 4, record.port);
  statement.BindText(first + 5, record.product);
  statement.BindText(first + 6, record.fwflashVersion);
  statement.BindInt(first + 7, record.firmwareSize);
  statement.BindInt(first + 8, record.firmwareCrc32);
  statement.BindInt(first + 9, record.imageCrc32);
  statement.BindOptionalInt(first + 10, record.serial);
  statement.BindInt(first + 11, record.ok ? 1 : 0);
  statement.BindText(first + 12, record.step);
  statement.BindInt(first + 13, record.byte);
  statement.BindInt(first + 14, record.bytes);
  statement.BindDouble(first + 15, record.seconds);
  statement.BindInt(first + 16, record.syncAcknowledged ? 1 : 0);
  statement.BindText(first + 17, EncodeMessages(record.messages));
  statement.BindText(first + 18, record.jobSha256);
  statement.BindText(first + 19, record.fields);
  statement.BindInt(first + 20, record.protocol);
  statement.BindInt(first + 21, record.baud);
}
