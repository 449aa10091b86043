// What both platforms' ports share: the failure exits and the stoppable read.
//
//   Fail(reporter, step, error)       reports the step with the system error, returns false
//   FailRead(reporter, byte, step, e) the same after zeroing the byte a read yields
//   ReadWithin(port pieces...)        one byte within the time-out, in slices of at most
//                                     100 ms between which a stop request is honoured
//   ReadSomeWithin(port pieces...)    what has arrived, waiting at most the time given for
//                                     the first byte, in the same slices
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
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

// readSlice(sliceMs, count, error) waits at most sliceMs for bytes and takes what has
// arrived. Nothing within the wait is no failure here: count is 0 and the caller decides.
template <class ReadSlice>
bool ReadSomeWithin(const StopRequest* stop, unsigned waitMs, ReadSlice readSlice, size_t& count,
                    FailureReporter& reporter) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    count = 0;
    if (stop != nullptr && stop->Requested()) return Fail(reporter, DeviceStep::Stopped);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const unsigned sliceMs = static_cast<unsigned>(std::max<long long>(0, std::min<long long>(kSliceMs, left.count())));
    int error = 0;
    switch (readSlice(sliceMs, count, error)) {
      case SliceResult::Byte: return true;
      case SliceResult::Failed: return Fail(reporter, DeviceStep::ReadByte, error);
      case SliceResult::Nothing: break;
    }
    if (Clock::now() >= deadline) return true;
  }
}

}  // namespace port_reads
