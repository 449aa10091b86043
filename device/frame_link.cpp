#include "device/frame_link.h"

bool FrameLink::Send(uint8_t kind, uint32_t arg, const uint8_t* payload, uint16_t n) {
  std::vector<uint8_t> bytes;
  AppendFrame(bytes, kind, arg, payload, n);
  return SendBytes(bytes);
}

bool FrameLink::SendBytes(const std::vector<uint8_t>& bytes) {
  return SendBlock(port_, bytes.data(), bytes.size(), reporter_);
}

bool FrameLink::Await(Clock::time_point deadline, Frame& frame, bool& got) {
  uint8_t bytes[512];
  for (;;) {
    got = parser_.Next(frame);
    if (got) return true;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    size_t count = 0;
    if (!ReceiveSome(port_, bytes, sizeof bytes, static_cast<unsigned>(left > 0 ? left : 0), count, reporter_))
      return false;
    parser_.Feed(bytes, count);
    // A line that keeps bringing bytes but no frame ends at the deadline all the same.
    if (count == 0 || Clock::now() >= deadline) {
      got = parser_.Next(frame);
      return true;
    }
  }
}

bool FrameLink::AwaitAck(uint32_t arg, unsigned ms, bool& got) {
  const Clock::time_point deadline = After(ms);
  Frame frame;
  do {
    if (!Await(deadline, frame, got)) return false;
  } while (got && !(frame.kind == frames::kAck && frame.arg == arg));
  return true;
}

bool FrameLink::Idle(Clock::time_point until) {
  Frame ignored;
  bool got = true;
  while (got)
    if (!Await(until, ignored, got)) return false;
  DiscardInput(port_);
  parser_.Clear();
  return true;
}

bool ResultSaysFlashed(FailureReporter& reporter, const Frame& result) {
  if (result.arg == 0) return true;
  DeviceFailure failure{result.arg == 1 ? DeviceStep::ImageRefused : DeviceStep::EndCheck};
  if (failure.step == DeviceStep::EndCheck) failure.reason = static_cast<uint8_t>(result.arg);
  // A reason byte in a damaged payload is no reason: the status alone is told.
  if (result.payloadGood && !result.payload.empty()) failure.refusal = result.payload[0];
  return ReportFailure(reporter, failure);
}

bool SessionEndedEarly(FailureReporter& reporter, const Frame& result) {
  if (result.arg != 0) return ResultSaysFlashed(reporter, result);
  return ReportFailure(reporter, {DeviceStep::EndCheck});
}
