// Why a device's flash failed, in the stations' own words: the desktop program's messages
// do not say whether a port is missing, not allowed or held by another program, and the
// operator must tell these apart. The device layer hands over the system's error number;
// the words are chosen here.
//
//   FailureReason                     cause ("missing", "not-allowed", "in-use", "gone",
//                                     or empty for none of them), reason and hint
//   ExplainFailures(port, failures, missingHint)
//                                     the first failure whose system error has a cause,
//                                     put into words; an empty cause when none has. A
//                                     port that is not there takes missingHint, the host
//                                     program's way to list the ports
//   ExplainResult(result, failures, missingHint)
//                                     fills a failed result's reason, cause and hint: the
//                                     cause's words, else the desktop program's messages
//   ReasonWithHint(result)            "REASON (HINT)", as the result line shows it
#pragma once

#include <string>
#include <vector>

#include "device/device_failure.h"
#include "stations/station_result.h"

struct FailureReason {
  std::string cause, reason, hint;
};

FailureReason ExplainFailures(const std::string& port, const std::vector<DeviceFailure>& failures,
                              const std::string& missingHint);
void ExplainResult(StationResult& result, const std::vector<DeviceFailure>& failures,
                   const std::string& missingHint);
std::string ReasonWithHint(const StationResult& result);
