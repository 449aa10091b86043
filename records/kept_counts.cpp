#include "records/kept_counts.h"

#include <limits>

namespace {

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

// The counts are filled a day of records at a time: each statement well within a
// PostgreSQL call's time limit even for a line of thousands of devices an hour.
constexpr int64_t kFillMs = kDayMs;
// From this many records the filling tells its progress: below it, it takes a moment.
constexpr uint64_t kTellFrom = 100000;

int64_t Remainder(int64_t ms, int64_t unit) { return ((ms % unit) + unit) % unit; }

// The period boundaries at or after / at or before ms, held to int64's range.
int64_t CeilTo(int64_t ms, int64_t unit) {
  const int64_t rest = Remainder(ms, unit);
  if (rest == 0) return ms;
  return ms > kMax - (unit - rest) ? kMax : ms + (unit - rest);
}

int64_t FloorTo(int64_t ms, int64_t unit) {
  const int64_t rest = Remainder(ms, unit);
  return ms < kMin + rest ? kMin : ms - rest;
}

// The summary's rows, whichever piece they come from: one record is a row of one device.
std::string RecordRows(int first) {
  return "SELECT start_ms, pc, port, product, firmware_size, firmware_crc32, "
         "CASE WHEN ok THEN 1 ELSE 0 END AS passed, CASE WHEN ok THEN 0 ELSE 1 END AS failed, "
         "CASE WHEN serial IS NULL THEN 0 ELSE 1 END AS serials, serial AS lowest_serial, "
         "serial AS highest_serial FROM fwflash_records WHERE start_ms >= ?" +
         std::to_string(first) + " AND start_ms < ?" + std::to_string(first + 1);
}

std::string CountRows(int64_t periodMs, int first) {
  return "SELECT start_ms, pc, port, product, firmware_size, firmware_crc32, passed, failed, "
         "serials, lowest_serial, highest_serial FROM fwflash_counts WHERE period_ms = " +
         std::to_string(periodMs) + " AND start_ms >= ?" + std::to_string(first) +
         " AND start_ms < ?" + std::to_string(first + 1);
}

std::string RecordSteps(int first) {
  return "SELECT step, 1 AS failed FROM fwflash_records WHERE start_ms >= ?" +
         std::to_string(first) + " AND start_ms < ?" + std::to_string(first + 1) + " AND NOT ok";
}

std::string CountSteps(int64_t periodMs, int first) {
  return "SELECT step, failed FROM fwflash_failed_steps WHERE period_ms = " +
         std::to_string(periodMs) + " AND start_ms >= ?" + std::to_string(first) +
         " AND start_ms < ?" + std::to_string(first + 1);
}

// The pieces in PieceParams' order: head, tail, head hours, tail hours, days.
const std::string kPieceRows = "WITH c AS (" + RecordRows(1) + " UNION ALL " + RecordRows(3) +
                               " UNION ALL " + CountRows(kHourMs, 5) + " UNION ALL " +
                               CountRows(kHourMs, 7) + " UNION ALL " + CountRows(kDayMs, 9) + ") ";

const std::string kTotal = kPieceRows +
    "SELECT CAST(coalesce(sum(passed), 0) AS bigint), CAST(coalesce(sum(failed), 0) AS bigint), "
    "CAST(coalesce(sum(serials), 0) AS bigint), min(lowest_serial), max(highest_serial) FROM c";
const std::string kProducts = kPieceRows +
    "SELECT product, firmware_size, firmware_crc32, CAST(sum(passed) AS bigint), "
    "CAST(sum(failed) AS bigint) FROM c GROUP BY product, firmware_size, firmware_crc32 "
    "ORDER BY 1, 2, 3";
const std::string kStations = kPieceRows +
    "SELECT pc, port, CAST(sum(passed) AS bigint), CAST(sum(failed) AS bigint) FROM c "
    "GROUP BY pc, port ORDER BY 1, 2";
// The whole UTC hour a start falls in, rounded down also before 1970.
const std::string kHours = kPieceRows +
    "SELECT start_ms - ((start_ms % 3600000) + 3600000) % 3600000 AS hour, "
    "CAST(sum(passed) AS bigint), CAST(sum(failed) AS bigint) FROM c GROUP BY hour ORDER BY hour";
const std::string kSteps = "WITH s AS (" + RecordSteps(1) + " UNION ALL " + RecordSteps(3) +
                           " UNION ALL " + CountSteps(kHourMs, 5) + " UNION ALL " +
                           CountSteps(kHourMs, 7) + " UNION ALL " + CountSteps(kDayMs, 9) +
                           ") SELECT step, CAST(sum(failed) AS bigint) FROM s GROUP BY step ORDER BY 1";

}  // namespace

const char kFillCountsSql[] = R"sql(
INSERT INTO fwflash_counts (period_ms, start_ms, pc, port, product, firmware_size,
  firmware_crc32, passed, failed, serials, lowest_serial, highest_serial)
SELECT p.ms, r.start_ms - ((r.start_ms % p.ms) + p.ms) % p.ms, r.pc, r.port, r.product,
  r.firmware_size, r.firmware_crc32, count(*) FILTER (WHERE r.ok),
  count(*) FILTER (WHERE NOT r.ok), count(r.serial), min(r.serial), max(r.serial)
FROM fwflash_records r CROSS JOIN (SELECT 3600000 AS ms UNION ALL SELECT 86400000) p
WHERE r.start_ms >= ?1 AND r.start_ms < ?2
GROUP BY 1, 2, 3, 4, 5, 6, 7
)sql";

const char kFillStepsSql[] = R"sql(
INSERT INTO fwflash_failed_steps (period_ms, start_ms, pc, port, product, firmware_size,
  firmware_crc32, step, failed)
SELECT p.ms, r.start_ms - ((r.start_ms % p.ms) + p.ms) % p.ms, r.pc, r.port, r.product,
  r.firmware_size, r.firmware_crc32, r.step, count(*)
FROM fwflash_records r CROSS JOIN (SELECT 3600000 AS ms UNION ALL SELECT 86400000) p
WHERE r.start_ms >= ?1 AND r.start_ms < ?2 AND NOT r.ok
GROUP BY 1, 2, 3, 4, 5, 6, 7, 8
)sql";

namespace {

// range cut at the whole units inside it: head before the first, whole, tail after the
// last; false, with nothing cut, when no whole unit is inside.
bool CutAtWholeUnits(SummaryPieces::Range range, int64_t unit, SummaryPieces::Range& head,
                     SummaryPieces::Range& whole, SummaryPieces::Range& tail) {
  const int64_t first = CeilTo(range.since, unit), last = FloorTo(range.until, unit);
  if (first >= last) return false;
  head = {range.since, first};
  whole = {first, last};
  tail = {last, range.until};
  return true;
}

}  // namespace

SummaryPieces PlanSummary(int64_t sinceMs, int64_t untilMs) {
  SummaryPieces pieces;
  if (sinceMs >= untilMs) return pieces;
  SummaryPieces::Range hours;
  if (!CutAtWholeUnits({sinceMs, untilMs}, kHourMs, pieces.head, hours, pieces.tail)) {
    pieces.head = {sinceMs, untilMs};  // no whole hour inside
    return pieces;
  }
  if (!CutAtWholeUnits(hours, kDayMs, pieces.headHours, pieces.days, pieces.tailHours))
    pieces.headHours = hours;  // no whole day inside
  return pieces;
}

SummaryPieces HourPieces(const SummaryPieces& pieces) {
  if (pieces.days.since >= pieces.days.until) return pieces;
  SummaryPieces hours = pieces;
  hours.headHours = {pieces.headHours.since, pieces.tailHours.until};
  hours.tailHours = {};
  hours.days = {};
  return hours;
}

const char* SummarySql(SummaryPart part) {
  switch (part) {
    case SummaryPart::Total: return kTotal.c_str();
    case SummaryPart::Products: return kProducts.c_str();
    case SummaryPart::Stations: return kStations.c_str();
    case SummaryPart::Steps: return kSteps.c_str();
    case SummaryPart::Hours: return kHours.c_str();
  }
  return "";
}

std::vector<int64_t> SummaryParams(SummaryPart part, int64_t sinceMs, int64_t untilMs) {
  const SummaryPieces planned = PlanSummary(sinceMs, untilMs);
  const SummaryPieces pieces = part == SummaryPart::Hours ? HourPieces(planned) : planned;
  return {pieces.head.since,      pieces.head.until,      pieces.tail.since,
          pieces.tail.until,      pieces.headHours.since, pieces.headHours.until,
          pieces.tailHours.since, pieces.tailHours.until, pieces.days.since,
          pieces.days.until};
}

std::string PostgresParams(const char* sql) {
  std::string text = sql;
  for (char& c : text)
    if (c == '?') c = '$';
  return text;
}

bool FillKeptCounts(int64_t firstMs, int64_t lastMs, uint64_t records,
                    const std::function<bool(int64_t, int64_t, std::string&)>& fill,
                    OpenEvents* events, std::string& error) {
  const bool tell = events != nullptr && records >= kTellFrom;
  if (tell) events->CountingKept(records);
  int told = 0;
  for (int64_t from = FloorTo(firstMs, kDayMs); from <= lastMs;) {
    const int64_t to = from > kMax - kFillMs ? kMax : from + kFillMs;
    if (!fill(from, to, error)) return false;
    const double done = to > lastMs ? 1.0 : double(to - firstMs) / (double(lastMs) - double(firstMs) + 1);
    if (tell && int(done * 10) > told) {
      told = int(done * 10);
      events->KeptCounted(told * 10);
    }
    if (to == kMax) break;
    from = to;
  }
  return true;
}
