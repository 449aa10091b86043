// What the stations tell, written for a person or for line-control software. Every line
// is written whole, under one lock, so lines of several stations never interleave; the
// texts are UTF-8 whatever bytes a message or a port's name holds.
//
//   MakeTextOutput(out, terminal, image, labels)
//                                          result lines "PORT: ok, N bytes in S s" and
//                                          "PORT: failed at byte K of N: REASON (HINT)",
//                                          "A1 PORT: ..." for a station with a label
//                                          (stations/failure_reason.h); on a
//                                          terminal a live progress line, else plain
//                                          lines at most once per station per 10 %
//   MakeJsonOutput(out, image, labels)     one JSON object per line and event: start,
//                                          progress (per 10 %), result (with its protocol,
//                                          baud and bytes per second), rate, latency,
//                                          port, store, serials, summary; a station's
//                                          "label" beside its "port" (null without one)
//   Output::StoreDown / StoreBack          the record store's problem, once while it
//                                          lasts, and its return with the records
//                                          delivered from the spool
//   Output::CountingKept / KeptCounted     an older store's kept counts filled, on
//                                          standard error (cli/store_progress.h)
//   Output::SerialsUsedUp(message)         the block of serial numbers has run out
//   Output::ListLow(list, left)            a job's list is low (once per list and run)
//   Output::ScrubFailed(message)           the run's end could not clear the given secret
//                                          items' old copies from the store's files
//   Output::Summary(stations, exit, spooled)
//                                          the run's end; spooled: records still
//                                          waiting, when the run keeps records
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "cli/firmware_source.h"
#include "stations/port_labels.h"
#include "stations/station.h"
#include "stations/station_result.h"
#include "cli/store_progress.h"
#include "records/record_keeper.h"

class Output : public StationEvents, public StoreEvents, public GeneratorEvents {
 public:
  virtual ~Output() = default;
  void StationWaiting(const std::string&) override {}  // the lines tell devices, not waits
  void StationEnded(const std::string&) override {}
  void CountingKept(uint64_t records) override { TellCountingKept(records); }
  void KeptCounted(int percent) override { TellKeptCounted(percent); }
  virtual void SerialsUsedUp(const std::string& message) = 0;
  // A production job's: its identity at the start, a generator's failure (told once
  // until it works again), and the generated values that no device took.
  virtual void JobStarted(const std::string& path, const std::string& sha256) = 0;
  virtual void GeneratorUnused(uint64_t outputs) = 0;
  virtual void Summary(const std::vector<StationTally>& stations, int exitCode,
                       std::optional<uint64_t> spooled) = 0;
};

std::unique_ptr<Output> MakeTextOutput(FILE* out, bool terminal, const FirmwareImage& image,
                                       const PortLabels& labels);
std::unique_ptr<Output> MakeJsonOutput(FILE* out, const FirmwareImage& image, const PortLabels& labels);

// "1 record", "2 records": a count and its noun.
std::string Counted(uint64_t count, const std::string& noun);
