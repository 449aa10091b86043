// A record's and a station's columns as both engines' tables hold them, and the one
// reading of a row into them, whichever engine the row comes from. The record's columns
// are declared here once: both engines' statements, the spool's and the CSV's heading
// are made from the list.
//
//   kRecordColumnList                  the record's 22 columns, in the order bound and read:
//                                      each one's name in the tables and heading in the CSV
//   kRecordColumnCount                 22
//   RecordColumnNames()                "id, start_ms, ...": the names, for INSERT and SELECT
//   RecordValuePlaces(mark, first)     "?1, ?2, ..." (mark '?') or "$1, $2, ..." (mark '$'):
//                                      the 22 values' places, numbered from first
//   RecordUpdates()                    "start_ms = excluded.start_ms, ..." for every column
//                                      but the id, for an upsert
//   RecordFromColumns(row, first)      the record in columns first .. first + 21 of a row
//   kReadStationsSql                   every station's row, for StationFromColumns
//   StationFromColumns(row)            the station state in columns 0 .. 10 of a row
//
// A row answers Text, Int, OptionalInt, Bool and Double by column number.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

#include "records/device_record.h"
#include "records/record_messages.h"
#include "records/station_state.h"

struct RecordColumn {
  const char* name;        // in the tables
  const char* csvHeading;  // in the CSV
};

constexpr RecordColumn kRecordColumnList[] = {
    {"id", "id"},
    {"start_ms", "start"},
    {"end_ms", "end"},
    {"pc", "pc"},
    {"port", "port"},
    {"product", "product"},
    {"fwflash_version", "fwflash_version"},
    {"firmware_size", "firmware_size"},
    {"firmware_crc32", "firmware_crc32"},
    {"image_crc32", "image_crc32"},
    {"serial", "serial"},
    {"ok", "result"},
    {"step", "step"},
    {"byte", "byte"},
    {"bytes", "bytes"},
    {"seconds", "seconds"},
    {"sync_acknowledged", "sync_acknowledged"},
    {"messages", "messages"},
    {"job_sha256", "job_sha256"},
    {"fields", "fields"},
    {"protocol", "protocol"},
    {"baud", "baud"},
};
constexpr int kRecordColumnCount = static_cast<int>(std::size(kRecordColumnList));

inline const std::string& RecordColumnNames() {
  static const std::string names = [] {
    std::string joined;
    for (const RecordColumn& column : kRecordColumnList)
      joined += (joined.empty() ? "" : ", ") + std::string(column.name);
    return joined;
  }();
  return names;
}

inline std::string RecordValuePlaces(char mark, int first) {
  std::string places;
  for (int n = first; n < first + kRecordColumnCount; ++n)
    places += (n > first ? ", " : "") + std::string(1, mark) + std::to_string(n);
  return places;
}

inline const std::string& RecordUpdates() {
  static const std::string updates = [] {
    std::string joined;
    for (const RecordColumn& column : kRecordColumnList) {
      if (&column == kRecordColumnList) continue;  // the id is the conflict's key
      const std::string name = column.name;
      joined += (joined.empty() ? "" : ", ") + name + " = excluded." + name;
    }
    return joined;
  }();
  return updates;
}

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
  record.protocol = static_cast<uint8_t>(row.Int(first + 20));
  record.baud = static_cast<uint32_t>(row.Int(first + 21));
  return record;
}

// Every station's row, in the columns StationFromColumns reads, for both engines.
constexpr char kReadStationsSql[] =
    "SELECT pc, port, state, percent, serial, step, message, firmware_crc32, updated_ms, label, "
    "progress_ms FROM fwflash_stations ORDER BY pc, port";

template <typename Row>
StationState StationFromColumns(const Row& row) {
  return {row.Text(0), row.Text(1), row.Text(2), static_cast<unsigned>(row.Int(3)),
          row.OptionalInt(4), row.Text(5), row.Text(6), static_cast<uint32_t>(row.Int(7)),
          row.Int(8), row.Text(9), row.Int(10)};
}
