#include "records/record_report.h"

#include <cstdio>
#include <limits>

#include "records/crc32_text.h"
#include "records/record_time.h"

namespace {

std::string Range(int64_t sinceMs, int64_t untilMs) {
  const bool fromStart = sinceMs == std::numeric_limits<int64_t>::min();
  const bool toEnd = untilMs == std::numeric_limits<int64_t>::max();
  if (fromStart && toEnd) return "Records of all times";
  if (toEnd) return "Records from " + IsoUtcMs(sinceMs);
  if (fromStart) return "Records before " + IsoUtcMs(untilMs);
  return "Records from " + IsoUtcMs(sinceMs) + " to before " + IsoUtcMs(untilMs);
}

// "18 passed, 2 failed, yield 90.0 %", the yield rounded to a tenth of a percent.
std::string Outcome(const OutcomeCount& count) {
  const uint64_t devices = count.passed + count.failed;
  std::string text = std::to_string(count.passed) + " passed, " + std::to_string(count.failed) + " failed";
  if (devices == 0) return text;
  const uint64_t permille = (count.passed * 1000 + devices / 2) / devices;
  return text + ", yield " + std::to_string(permille / 10) + "." + std::to_string(permille % 10) + " %";
}

}  // namespace

std::string FormatReport(const RecordSummary& summary, int64_t sinceMs, int64_t untilMs) {
  std::string report = Range(sinceMs, untilMs) + "\n";
  const uint64_t devices = summary.total.passed + summary.total.failed;
  if (devices == 0) return report + "No records.\n";
  report += std::to_string(devices) + " devices: " + Outcome(summary.total) + "\n";

  report += "\nBy product and base firmware:\n";
  for (const auto& product : summary.products) {
    report += "  " + product.product + ", " + std::to_string(product.firmwareSize) +
              " bytes, CRC-32 " + Crc32Text(product.firmwareCrc32) + ": " + Outcome(product.count) + "\n";
  }
  report += "\nBy PC and station:\n";
  for (const auto& station : summary.stations)
    report += "  " + station.pc + " " + station.port + ": " + Outcome(station.count) + "\n";

  if (!summary.failedSteps.empty()) {
    report += "\nFailures by step:\n";
    for (const auto& step : summary.failedSteps)
      report += "  " + step.step + ": " + std::to_string(step.failed) + "\n";
  }
  report += "\nSerial numbers: ";
  if (summary.serials == 0 || !summary.lowestSerial || !summary.highestSerial)
    return report + "none\n";
  return report + std::to_string(*summary.lowestSerial) + " to " +
         std::to_string(*summary.highestSerial) + ", on " + std::to_string(summary.serials) +
         " records\n";
}

std::string FormatStock(const std::vector<ListInfo>& lists, const std::vector<CounterInfo>& counters) {
  std::string report;
  for (const ListInfo& list : lists) {
    report += "list " + list.name + ": " + std::to_string(list.givenInRange) + " given, " +
              std::to_string(list.items - list.given) + " left of " + std::to_string(list.items) + "\n";
  }
  for (const CounterInfo& counter : counters) {
    if (!counter.lowestInRange) continue;
    report += "counter " + counter.field + " of " + counter.product + ": " + *counter.lowestInRange + " to " +
              *counter.highestInRange + "\n";
  }
  return report;
}
