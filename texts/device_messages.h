// The device link's failures in the program's words: the messages the desktop program
// shows, one per failing step, in the order the steps fail.
//
//   DeviceFailureText(failure)   the text-table message of the step, or for an echo the
//                                one formatted message "0x%02X sent, but 0x%02X received";
//                                the steps of the transfer in frames have English texts
//                                of their own (the text table keeps its slots)
//   DialogFailureReporter        shows each failure in the modal message dialog
#pragma once

#include <string>

#include "device/device_failure.h"

std::string DeviceFailureText(const DeviceFailure& failure);

class DialogFailureReporter : public FailureReporter {
 public:
  void Report(const DeviceFailure& failure) override;
};
