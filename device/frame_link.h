// The frames' conversation over an open port, as the protocol's steps use it: frames out
// whole, frames in as they arrive, every wait bounded by a deadline and stoppable through
// the port's stop request. Failures of the port are reported where they happen.
//
//   Send(kind, arg, payload, n)   one frame, written with one call
//   SendBytes(bytes)              frames already put together, written with one call
//   Await(deadline, frame, got)   the next whole frame to arrive before the deadline:
//                                 true with got false when none did; false when the
//                                 port failed or was stopped
//   AwaitAck(arg, ms, got)        an ACK whose arg is arg within ms, other frames passed
//                                 over: got false when none came; false when the port
//                                 failed or was stopped
//   Idle(until)                   lets what arrives until then go by, then drops what is
//                                 left: false when the port failed or was stopped
//
//   ResultSaysFlashed(r, result)  the device's RESULT: true for status 0, else its
//                                 failure reported (1 ImageRefused, others EndCheck),
//                                 with the reason its payload gives, if any
//   SessionEndedEarly(r, result)  a RESULT before the END: always a failure, reported
//                                 as its status says (EndCheck for a 0 out of place)
#pragma once

#include <chrono>
#include <vector>

#include "device/frame_codec.h"
#include "device/serial_port.h"

class FrameLink {
 public:
  using Clock = std::chrono::steady_clock;

  FrameLink(SerialPort* port, FailureReporter& reporter) : port_(port), reporter_(reporter) {}

  bool Send(uint8_t kind, uint32_t arg, const uint8_t* payload = nullptr, uint16_t n = 0);
  bool SendBytes(const std::vector<uint8_t>& bytes);
  bool Await(Clock::time_point deadline, Frame& frame, bool& got);
  bool AwaitAck(uint32_t arg, unsigned ms, bool& got);
  bool Idle(Clock::time_point until);

  SerialPort* Port() const { return port_; }
  FailureReporter& Reporter() const { return reporter_; }

 private:
  SerialPort* port_;
  FailureReporter& reporter_;
  FrameParser parser_;
};

bool ResultSaysFlashed(FailureReporter& reporter, const Frame& result);
bool SessionEndedEarly(FailureReporter& reporter, const Frame& result);

inline FrameLink::Clock::time_point After(unsigned ms) {
  return FrameLink::Clock::now() + std::chrono::milliseconds(ms);
}
