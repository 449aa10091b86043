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

std::string FormatReport(const RecordSummary& summary, int64_t sinceMs, int64_t untilMs);
