// fwflash-cli --report: the records of a range as a short text for a person.
//
//   FormatReport(summary, since, until)   per product and base firmware the devices
//                                         passed and failed and the yield; the same per
//                                         PC and station; the failures by step; the
//                                         serial numbers used. Lines end in "\n"
#pragma once

#include <cstdint>
#include <string>

#include "records/device_record.h"
#include "records/record_store.h"

std::string FormatReport(const RecordSummary& summary, int64_t sinceMs, int64_t untilMs);

// The production jobs' part: per list the items given in the range and those left; per
// counter field the range of values its records in the range hold.
std::string FormatStock(const std::vector<ListInfo>& lists, const std::vector<CounterInfo>& counters);
