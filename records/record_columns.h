// A record's and a station's columns as both engines' tables hold them, and the one
// reading of a row into them, whichever engine the row comes from.
//
//   kRecordColumns                     the record's 20 columns, in the order bound and read
//   kRecordColumnCount                 20
//   RecordFromColumns(row, first)      the record in columns first .. first + 19 of a row
//   StationFromColumns(row)            the station state in columns 0 .. 10 of a row
//
// A row answers Text, Int, OptionalInt, Bool and Double by column number.
#pragma once

#include <cstdint>

#include "records/device_record.h"
#include "records/record_messages.h"
#include "records/station_state.h"

constexpr char kRecordColumns[] =
    "id, start_ms, end_ms, pc, port, product, fwflash_version, firmware_size, firmware_crc32, "
    "image_crc32, serial, ok, step, byte, bytes, seconds, sync_acknowledged, messages, "
    "job_sha256, fields";
constexpr int kRecordColumnCount = 20;

template <typename Row>
DeviceRecord RecordFromColumns(const Row& row, int first) {
  DeviceRecord record;
  record.id = row.Text(first);
  record.startMs = row.Int(first + 1);
  record.endMs = row.OptionalInt(first + 2);
  record.pc = row.Text(first + 3);
  record.port = row.Text(first + 4);
  record.product = row.Text(first + 5);
  record.fwflashVersion = row.Text(first + 6);
  record.firmwareSize = static_cast<uint32_t>(row.Int(first + 7));
  record.firmwareCrc32 = static_cast<uint32_t>(row.Int(first + 8));
  record.imageCrc32 = static_cast<uint32_t>(row.Int(first + 9));
  record.serial = row.OptionalInt(first + 10);
  record.ok = row.Bool(first + 11);
  record.step = row.Text(first + 12);
  record.byte = static_cast<uint32_t>(row.Int(first + 13));
  record.bytes = static_cast<uint32_t>(row.Int(first + 14));
  record.seconds = row.Double(first + 15);
  record.syncAcknowledged = row.Bool(first + 16);
  // Text that is not a JSON array of strings is kept whole, as one message.
  const std::string messages = row.Text(first + 17);
  if (!DecodeMessages(messages, record.messages)) record.messages = {messages};
  record.jobSha256 = row.Text(first + 18);
  record.fields = row.Text(first + 19);
  return record;
}

// The columns: pc, port, state, percent, serial, step, message, firmware_crc32, updated_ms.
template <typename Row>
StationState StationFromColumns(const Row& row) {
  return {row.Text(0), row.Text(1), row.Text(2), static_cast<unsigned>(row.Int(3)),
          row.OptionalInt(4), row.Text(5), row.Text(6), static_cast<uint32_t>(row.Int(7)),
          row.Int(8), row.Text(9), row.Int(10)};
}
