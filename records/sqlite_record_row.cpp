#include "records/sqlite_record_row.h"

#include "records/record_messages.h"

const char kSqliteRecordUpdates[] =
    "start_ms = excluded.start_ms, end_ms = excluded.end_ms, pc = excluded.pc, "
    "port = excluded.port, product = excluded.product, "
    "fwflash_version = excluded.fwflash_version, firmware_size = excluded.firmware_size, "
    "firmware_crc32 = excluded.firmware_crc32, image_crc32 = excluded.image_crc32, "
    "serial = excluded.serial, ok = excluded.ok, step = excluded.step, byte = excluded.byte, "
    "bytes = excluded.bytes, seconds = excluded.seconds, "
    "sync_acknowledged = excluded.sync_acknowledged, messages = excluded.messages, "
    "job_sha256 = excluded.job_sha256, fields = excluded.fields";

std::string SqliteRecordValues(int first) {
  std::string values;
  for (int n = first; n < first + kRecordColumnCount; ++n)
    values += (n > first ? ", ?" : "?") + std::to_string(n);
  return values;
}

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
}
