#include "records/record_time.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and back
// (H. Hinnant's civil calendar algorithms).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

unsigned DaysInMonth(int64_t year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads exactly `count` digits at text[at].
bool Digits(const std::string& text, size_t& at, int count, unsigned& value) {
  value = 0;
  for (int i = 0; i < count; ++i, ++at) {
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
  }
  return true;
}

bool Expect(const std::string& text, size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

constexpr char kForms[] =
    "use YYYY-MM-DD, optionally with THH:MM[:SS[.mmm]] and Z or +HH:MM (UTC without one)";

bool Refuse(const std::string& text, const char* why, std::string& error) {
  error = "not a time: \"" + text + "\": " + why + "; " + kForms;
  return false;
}

}  // namespace

int64_t NowUtcMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string IsoUtcMs(int64_t ms) {
  int64_t days = ms / kMsPerDay;
  int64_t inDay = ms % kMsPerDay;
  if (inDay < 0) {
    inDay += kMsPerDay;
    --days;
  }
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  char text[48];
  if (year < 0 || year > 9999) {
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u.%03uZ",
                  static_cast<long long>(year), month, day,
                  static_cast<unsigned>(inDay / 3600000), static_cast<unsigned>(inDay / 60000 % 60),
                  static_cast<unsigned>(inDay / 1000 % 60), static_cast<unsigned>(inDay % 1000));
    return text;
  }
  // The common years digit by digit: a CSV of a year writes two of these per row.
  std::memcpy(text, "0000-00-00T00:00:00.000Z", 25);
  const auto put = [&text](size_t end, unsigned value, int digits) {
    for (int i = 1; i <= digits; ++i, value /= 10) text[end - i] = static_cast<char>('0' + value % 10);
  };
  put(4, static_cast<unsigned>(year), 4);
  put(7, month, 2);
  put(10, day, 2);
  put(13, static_cast<unsigned>(inDay / 3600000), 2);
  put(16, static_cast<unsigned>(inDay / 60000 % 60), 2);
  put(19, static_cast<unsigned>(inDay / 1000 % 60), 2);
  put(23, static_cast<unsigned>(inDay % 1000), 3);
  return std::string(text, 24);
}

bool ParseTimeBound(const std::string& text, int64_t& ms, std::string& error) {
  size_t at = 0;
  unsigned year, month, day;
  if (!Digits(text, at, 4, year) || !Expect(text, at, '-') || !Digits(text, at, 2, month) ||
      !Expect(text, at, '-') || !Digits(text, at, 2, day))
    return Refuse(text, "no date", error);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return Refuse(text, "no such date", error);
  int64_t result = DaysFromCivil(year, month, day) * kMsPerDay;
  if (at == text.size()) {
    ms = result;
    return true;
  }
  if (text[at] != 'T' && text[at] != 't' && text[at] != ' ')
    return Refuse(text, "the date is followed by something else than a time", error);
  ++at;
  unsigned hour, minute, second = 0, milli = 0;
  if (!Digits(text, at, 2, hour) || !Expect(text, at, ':') || !Digits(text, at, 2, minute))
    return Refuse(text, "no time of day after the date", error);
  if (at < text.size() && text[at] == ':') {
    ++at;
    if (!Digits(text, at, 2, second)) return Refuse(text, "no seconds after the minutes", error);
    if (at < text.size() && text[at] == '.') {
      ++at;
      int places = 0;
      while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        if (++places > 3) return Refuse(text, "more than 3 decimals of a second", error);
        milli = milli * 10 + static_cast<unsigned>(text[at++] - '0');
      }
      if (places == 0) return Refuse(text, "no digits after the decimal point", error);
      for (; places < 3; ++places) milli *= 10;
    }
  }
  if (hour > 23 || minute > 59 || second > 59) return Refuse(text, "no such time of day", error);
  result += ((hour * 60 + minute) * 60 + second) * int64_t{1000} + milli;
  if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const int sign = text[at++] == '+' ? 1 : -1;
    unsigned offsetHours, offsetMinutes;
    if (!Digits(text, at, 2, offsetHours) || !Expect(text, at, ':') ||
        !Digits(text, at, 2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59)
      return Refuse(text, "an offset is +HH:MM or -HH:MM", error);
    result -= sign * static_cast<int64_t>((offsetHours * 60 + offsetMinutes) * 60000);
  }
  if (at != text.size()) return Refuse(text, "something follows the time", error);
  ms = result;
  return true;
}
