// What both platforms' ports share: the failure exits and the stoppable read.
//
//   Fail(reporter, step, error)       reports the step with the system error, returns false
//   FailRead(reporter, byte, step, e) the same after zeroing the byte a read yields
//   ReadWithin(port pieces...)        one byte within the time-out, in slices of at most
//                                     100 ms between which a stop request is honoured
#pragma once

#include <chrono>
#include <cstdint>

#include "device/device_failure.h"
#include "device/stop_request.h"

namespace port_reads {

// The longest a pending read waits before it looks at the stop request again.
constexpr unsigned kSliceMs = 100;

inline bool Fail(FailureReporter& reporter, DeviceStep step, int error = 0) {
  return ReportFailure(reporter, {step, 0, 0, error});
}

inline bool FailRead(FailureReporter& reporter, uint8_t& byte, DeviceStep step, int error = 0) {
  byte = 0;
  return Fail(reporter, step, error);
}

enum class SliceResult { Byte, Nothing, Failed };

// readSlice(byte, error) waits at most one slice for a byte. A failed read (a device that
// has gone) ends at once, with its system error; nothing within the time-out is a read
// failure as well.
template <class ReadSlice>
bool ReadWithin(const StopRequest& stop, unsigned timeoutMs, ReadSlice readSlice, uint8_t& byte,
                FailureReporter& reporter) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (stop.Requested()) return FailRead(reporter, byte, DeviceStep::Stopped);
    int error = 0;
    switch (readSlice(byte, error)) {
      case SliceResult::Byte: return true;
      case SliceResult::Failed: return FailRead(reporter, byte, DeviceStep::ReadByte, error);
      case SliceResult::Nothing: break;
    }
  } while (Clock::now() < deadline);
  if (stop.Requested()) return FailRead(reporter, byte, DeviceStep::Stopped);
  return FailRead(reporter, byte, DeviceStep::ReadByte);
}

}  // namespace port_reads
