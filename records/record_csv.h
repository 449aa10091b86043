// The records as CSV for other tools: RFC 4180, CRLF line ends, UTF-8 without a
// byte-order mark, one header row, then a row per record in order of start and id:
//   id,start,end,pc,port,product,fwflash_version,firmware_size,firmware_crc32,
//   image_crc32,serial,result,step,byte,bytes,seconds,sync_acknowledged,messages
//
//   CsvHeaderRow()                   the header row, CRLF included
//   CsvRow(record)                   one record's row, CRLF included
//   WriteRecordsCsv(store, since, until, write, error)
//                                    the header, then every record whose start is in
//                                    [since, until), each row handed to write
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "records/device_record.h"
#include "records/record_store.h"

std::string CsvHeaderRow();
std::string CsvRow(const DeviceRecord& record);
bool WriteRecordsCsv(RecordStore& store, int64_t sinceMs, int64_t untilMs,
                     const std::function<void(const std::string&)>& write, std::string& error);
