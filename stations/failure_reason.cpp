#include "stations/failure_reason.h"

#include "ports/port_diagnosis.h"
#include "toolkit/text_encoding.h"

FailureReason ExplainFailures(const std::string& port, const std::vector<DeviceFailure>& failures,
                              const std::string& missingHint) {
  const std::string cannotOpen = "cannot open " + DisplayText(port) + ": ";
  for (const DeviceFailure& failure : failures) {
    switch (ClassifyFailure(failure)) {
      case FailureCause::Missing:
        return {"missing", cannotOpen + "No such file or directory", missingHint};
      case FailureCause::NotAllowed:
        return {"not-allowed", cannotOpen + "not allowed", GroupHint(port)};
      case FailureCause::InUse:
        return {"in-use", cannotOpen + kInUseWords, PortHolders(port)};
      case FailureCause::Gone:
        return {"gone", "the device went away", "cable or power"};
      case FailureCause::None: break;
    }
  }
  return {};
}

void ExplainResult(StationResult& result, const std::vector<DeviceFailure>& failures,
                   const std::string& missingHint) {
  if (result.ok) return;
  const FailureReason explained = ExplainFailures(result.port, failures, missingHint);
  result.cause = explained.cause;
  result.reason = explained.cause.empty() ? JoinedMessages(result.messages) : explained.reason;
  result.hint = explained.hint;
}

std::string ReasonWithHint(const StationResult& result) {
  return result.hint.empty() ? result.reason : result.reason + " (" + result.hint + ")";
}
