// The API's JSON: what the store holds, written for the page and for other tools. A
// serial number is a string of decimal digits (a 64-bit number does not fit a JSON
// reader's double); CRCs are "0x" and 8 upper-case hex digits; times are ISO 8601 UTC
// with milliseconds, and also milliseconds since 1970 where the page computes with them.
//
//   StationsJson(states, nowMs)             {"now_ms", "stations": [...]}, each station
//                                           with "running" (heard from within 15 s),
//                                           its "label" (null without one) and
//                                           "progress_ms", its last change of state or
//                                           percent
//   RecordJson(record)                      one record, its fields named as the CSV's
//   SummaryJson(summary, lastHour, since, until, nowMs)
//                                           the counts of a range and of the last hour
//   ListsJson(lists)                        the stock of each list: items, given, left,
//                                           and "low" below a tenth or below 100 left
//   DumpJson(json)                          the text; bytes that are not UTF-8 become U+FFFD
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/device_record.h"
#include "records/record_store.h"
#include "records/station_state.h"

constexpr int64_t kStationSilenceMs = 15000;  // a station not heard from for longer is not running

nlohmann::json StationsJson(const std::vector<StationState>& states, int64_t nowMs);
nlohmann::json RecordJson(const DeviceRecord& record);
nlohmann::json SummaryJson(const RecordSummary& summary, const OutcomeCount& lastHour,
                           int64_t sinceMs, int64_t untilMs, int64_t nowMs);
nlohmann::json ListsJson(const std::vector<ListInfo>& lists);
std::string DumpJson(const nlohmann::json& json);
