// Counts kept beside the records, per UTC hour and per UTC day, so that a summary reads
// whole hours and days from them instead of every record. Each engine keeps them with
// triggers on the records table (so every writer keeps them, in the same transaction as
// the record); what both engines share is here:
//
//   kHourMs, kDayMs                  the two periods the counts are kept for
//   SummaryPieces                    where a summary's range is read from: the partial
//                                    hours at its two ends from the records, the whole
//                                    hours beside them from the hour counts, the whole
//                                    days from the day counts. An empty piece is [0, 0)
//   PlanSummary(since, until)        the pieces of [since, until)
//   HourPieces(pieces)               the same range with every whole hour from the hour
//                                    counts, for the summary's per-hour figures
//   SummaryPart                      one of the summary's questions
//   SummarySql(part)                 its SQL over the pieces, bound ?1 .. ?10
//   SummaryParams(part, since, until)
//                                    its ten bounds: the per-hour figures read every whole
//                                    hour from the hour counts, the rest whole days from
//                                    the day counts
//   ReadSummaryRow(part, row, summary)
//                                    adds one answered row to the summary; row answers
//                                    Text, Int and OptionalInt by column number
//   PostgresParams(sql)              the same text with $1 .. $10
//   kFillCountsSql                   fills the counts from the records of [?1, ?2)
//   FillKeptCounts(first, last, records, fill, events, error)
//                                    fills the counts for records starting in [first,
//                                    last] a few days at a time, each by fill(from, to),
//                                    telling events (if any) its progress for a large
//                                    store
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/device_record.h"
#include "records/record_store.h"

constexpr int64_t kHourMs = 3600000;
constexpr int64_t kDayMs = 86400000;

struct SummaryPieces {
  struct Range {
    int64_t since = 0, until = 0;
  };
  Range head, tail;            // from the records
  Range headHours, tailHours;  // from the hour counts
  Range days;                  // from the day counts
};

SummaryPieces PlanSummary(int64_t sinceMs, int64_t untilMs);
SummaryPieces HourPieces(const SummaryPieces& pieces);

enum class SummaryPart { Total, Products, Stations, Steps, Hours };
constexpr SummaryPart kSummaryParts[] = {SummaryPart::Total, SummaryPart::Products,
                                         SummaryPart::Stations, SummaryPart::Steps,
                                         SummaryPart::Hours};

// Reads each part of a summary in turn, the hours only when asked: false as soon as
// readPart(part) fails.
template <typename ReadPart>
bool EachSummaryPart(bool hours, ReadPart readPart) {
  for (const SummaryPart part : kSummaryParts) {
    if (part == SummaryPart::Hours && !hours) continue;
    if (!readPart(part)) return false;
  }
  return true;
}

const char* SummarySql(SummaryPart part);
std::vector<int64_t> SummaryParams(SummaryPart part, int64_t sinceMs, int64_t untilMs);

// Each part answers in the order the summary keeps, as the records alone would.
template <typename Row>
void ReadSummaryRow(SummaryPart part, const Row& row, RecordSummary& summary) {
  auto count = [&](int first) {
    return OutcomeCount{static_cast<uint64_t>(row.Int(first)), static_cast<uint64_t>(row.Int(first + 1))};
  };
  switch (part) {
    case SummaryPart::Total:
      summary.total = count(0);
      summary.serials = static_cast<uint64_t>(row.Int(2));
      summary.lowestSerial = row.OptionalInt(3);
      summary.highestSerial = row.OptionalInt(4);
      return;
    case SummaryPart::Products:
      summary.products.push_back({row.Text(0), static_cast<uint32_t>(row.Int(1)),
                                  static_cast<uint32_t>(row.Int(2)), count(3)});
      return;
    case SummaryPart::Stations:
      summary.stations.push_back({row.Text(0), row.Text(1), count(2)});
      return;
    case SummaryPart::Steps:
      summary.failedSteps.push_back({row.Text(0), static_cast<uint64_t>(row.Int(1))});
      return;
    case SummaryPart::Hours:
      summary.hours.push_back({row.Int(0), count(1)});
      return;
  }
}

std::string PostgresParams(const char* sql);

extern const char kFillCountsSql[];
extern const char kFillStepsSql[];

bool FillKeptCounts(int64_t firstMs, int64_t lastMs, uint64_t records,
                    const std::function<bool(int64_t, int64_t, std::string&)>& fill,
                    OpenEvents* events, std::string& error);
