// The values a request's query string may carry, checked: anything else is refused (the
// server answers 400 with the reason).
//
//   ParseRange(params, since, until, error)   since= and until= as --report takes them;
//                                             absent or empty: unbounded
//   ParseRecordQuery(params, query, error)    the range, failed=0|1, serial= (decimal,
//                                             0 to 2^63-1), limit= 1..1000 (default 100);
//                                             newest first
// A value given twice is refused, as the two could disagree.
#pragma once

#include <map>
#include <string>

#include "records/device_record.h"

using QueryParams = std::multimap<std::string, std::string>;

constexpr size_t kDefaultRecordLimit = 100;
constexpr size_t kMaxRecordLimit = 1000;

bool ParseRange(const QueryParams& params, int64_t& sinceMs, int64_t& untilMs, std::string& error);
bool ParseRecordQuery(const QueryParams& params, RecordQuery& query, std::string& error);
