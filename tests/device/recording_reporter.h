// Keeps every failure the device link reports, in order, for the tests to look at.
#pragma once

#include <vector>

#include "device/device_failure.h"

class RecordingReporter : public FailureReporter {
 public:
  void Report(const DeviceFailure& failure) override { failures.push_back(failure); }
  std::vector<DeviceStep> Steps() const {
    std::vector<DeviceStep> steps;
    for (const DeviceFailure& failure : failures) steps.push_back(failure.step);
    return steps;
  }
  std::vector<DeviceFailure> failures;
};
