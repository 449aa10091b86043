#include "dashboard/request_values.h"

#include <limits>

#include "records/record_time.h"

namespace {

// The one value of name: false when it is given twice; absent leaves value empty.
bool OneValue(const QueryParams& params, const std::string& name, std::string& value,
              std::string& error) {
  value.clear();
  if (params.count(name) > 1) {
    error = name + " is given more than once";
    return false;
  }
  auto found = params.find(name);
  if (found != params.end()) value = found->second;
  return true;
}

// Decimal digits only, no sign, within [0, max].
bool ParseDecimal(const std::string& text, uint64_t max, uint64_t& number) {
  if (text.empty() || text.size() > 19) return false;
  number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + uint64_t(c - '0');
  }
  return number <= max;
}

bool ParseBound(const QueryParams& params, const std::string& name, int64_t& ms,
                std::string& error) {
  std::string text;
  if (!OneValue(params, name, text, error)) return false;
  if (text.empty()) return true;
  std::string reason;
  if (!ParseTimeBound(text, ms, reason)) {
    error = name + ": " + reason;
    return false;
  }
  return true;
}

}  // namespace

bool ParseRange(const QueryParams& params, int64_t& sinceMs, int64_t& untilMs, std::string& error) {
  sinceMs = std::numeric_limits<int64_t>::min();
  untilMs = std::numeric_limits<int64_t>::max();
  return ParseBound(params, "since", sinceMs, error) && ParseBound(params, "until", untilMs, error);
}

bool ParseRecordQuery(const QueryParams& params, RecordQuery& query, std::string& error) {
  query = RecordQuery{};
  query.newestFirst = true;
  query.limit = kDefaultRecordLimit;
  if (!ParseRange(params, query.sinceMs, query.untilMs, error)) return false;
  std::string text;
  if (!OneValue(params, "failed", text, error)) return false;
  if (!text.empty() && text != "0" && text != "1") {
    error = "failed is 1 or 0";
    return false;
  }
  query.failedOnly = text == "1";
  uint64_t number = 0;
  if (!OneValue(params, "serial", text, error)) return false;
  if (!text.empty()) {
    if (!ParseDecimal(text, uint64_t(std::numeric_limits<int64_t>::max()), number)) {
      error = "serial is a decimal number from 0 to 9223372036854775807";
      return false;
    }
    query.serial = int64_t(number);
  }
  if (!OneValue(params, "limit", text, error)) return false;
  if (!text.empty()) {
    if (!ParseDecimal(text, kMaxRecordLimit, number) || number == 0) {
      error = "limit is a number from 1 to 1000";
      return false;
    }
    query.limit = size_t(number);
  }
  return true;
}
