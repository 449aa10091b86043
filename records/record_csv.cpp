#include "records/record_csv.h"

#include <charconv>
#include <cstdio>

#include "records/crc32_text.h"
#include "records/record_columns.h"
#include "records/record_time.h"

namespace {

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Two decimals, rounded from the double's exact value, whatever the C locale's decimal
// point is.
std::string Seconds(double seconds) {
  char text[400];  // the longest fixed form of a double
  const auto end = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 2).ptr;
  return std::string(text, end);
}

std::string Joined(const std::vector<std::string>& messages) {
  std::string joined;
  for (size_t i = 0; i < messages.size(); ++i) joined += (i > 0 ? " / " : "") + messages[i];
  return joined;
}

}  // namespace

std::string CsvHeaderRow() {
  std::string row;
  for (const RecordColumn& column : kRecordColumnList)
    row += (row.empty() ? "" : ",") + std::string(column.csvHeading);
  return row + "\r\n";
}

std::string CsvRow(const DeviceRecord& record) {
  const std::string fields[] = {
      Field(record.id),
      IsoUtcMs(record.startMs),
      record.endMs ? IsoUtcMs(*record.endMs) : "",
      Field(record.pc),
      Field(record.port),
      Field(record.product),
      Field(record.fwflashVersion),
      std::to_string(record.firmwareSize),
      Crc32Text(record.firmwareCrc32),
      Crc32Text(record.imageCrc32),
      record.serial ? std::to_string(*record.serial) : "",
      record.ok ? "ok" : "failed",
      record.ok ? "" : Field(record.step),
      record.ok ? "" : std::to_string(record.byte),
      std::to_string(record.bytes),
      Seconds(record.seconds),
      record.syncAcknowledged ? "true" : "false",
      Field(Joined(record.messages)),
      record.jobSha256,
      Field(record.fields),
      std::to_string(record.protocol),
      std::to_string(record.baud),
  };
  std::string row;
  for (const std::string& field : fields) row += (&field == fields ? "" : ",") + field;
  return row + "\r\n";
}

bool WriteRecordsCsv(RecordStore& store, int64_t sinceMs, int64_t untilMs,
                     const std::function<void(const std::string&)>& write, std::string& error) {
  RecordQuery query;
  query.sinceMs = sinceMs;
  query.untilMs = untilMs;
  write(CsvHeaderRow());
  return store.ReadRecords(query, [&](const DeviceRecord& record) { write(CsvRow(record)); }, error);
}
