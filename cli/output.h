// What the stations tell, written for a person or for line-control software. Every line
// is written whole, under one lock, so lines of several stations never interleave; the
// texts are UTF-8 whatever bytes a message or a port's name holds.
//
//   MakeTextOutput(out, terminal, image)   result lines "PORT: ok, N bytes in S s" and
//                                          "PORT: failed at byte K of N: REASON (HINT)"
//                                          (cli/failure_reason.h); on a
//                                          terminal a live progress line, else plain
//                                          lines at most once per station per 10 %
//   MakeJsonOutput(out, image)             one JSON object per line and event: start,
//                                          progress (per 10 %), result, port, summary
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "cli/firmware_source.h"
#include "cli/station.h"
#include "cli/station_result.h"

class Output : public StationEvents {
 public:
  virtual ~Output() = default;
  virtual void Summary(const std::vector<StationTally>& stations, int exitCode) = 0;
};

std::unique_ptr<Output> MakeTextOutput(FILE* out, bool terminal, const FirmwareImage& image);
std::unique_ptr<Output> MakeJsonOutput(FILE* out, const FirmwareImage& image);

// The tenth of the image that accepted bytes have reached (0 to 10).
unsigned Tenths(uint32_t accepted, uint32_t size);
