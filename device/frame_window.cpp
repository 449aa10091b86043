#include "device/frame_window.h"

#include <algorithm>

using namespace frames;

namespace {

constexpr int kTries = 3;
constexpr unsigned kAckSlackMs = 500;  // on top of the frames in flight's time on the line

class Window {
 public:
  Window(FrameLink& link, const uint8_t* app, uint32_t length, const DeviceCapabilities& caps,
         uint32_t baud, TransferProgress& progress)
      : link_(link), app_(app), length_(length),
        page_(std::clamp<uint32_t>(caps.pageSize, 1, kMaxPayload)),
        inFlight_(std::max<uint32_t>(caps.framesInFlight, 1)), progress_(progress),
        ackTimeoutMs_(kAckSlackMs + static_cast<unsigned>(inFlight_ * FrameSize(page_) * 10 * 1000 / baud) + 1) {}

  bool Run() {
    deadline_ = After(ackTimeoutMs_);
    while (acked_ < length_) {
      Frame frame;
      bool got = false;
      if (!Fill() || !link_.Await(deadline_, frame, got)) return false;
      if (!(got ? Take(frame) : GoBack(acked_, kFrameNoAnswer))) return false;
    }
    return true;
  }

 private:
  uint32_t FrameLength(uint32_t offset) const { return std::min<uint32_t>(page_, length_ - offset); }
  uint32_t Unacknowledged() const { return (next_ - acked_ + page_ - 1) / page_; }

  // Sends frames from next_ on until the window is full, all with one write.
  bool Fill() {
    std::vector<uint8_t> bytes;
    while (next_ < length_ && Unacknowledged() < inFlight_) {
      const uint32_t n = FrameLength(next_);
      AppendFrame(bytes, kData, next_, app_ + next_, static_cast<uint16_t>(n));
      next_ += n;
    }
    return bytes.empty() || link_.SendBytes(bytes);
  }

  bool Take(const Frame& frame) {
    switch (frame.kind) {
      case kAck:
        Acknowledged(frame.arg);
        return true;
      case kNak: {
        // A damaged reason is no reason to act on: the ACK time-out covers it.
        if (!frame.payloadGood || frame.payload.empty()) return true;
        if (frame.arg < acked_) return true;  // answers a frame from before the last ACK
        Acknowledged(frame.arg);
        const uint8_t reason = frame.payload[0];
        // The frames behind a damaged one draw one NAK "lost" of their own, for the
        // same offset, which the frames sent again answer already.
        if (staleLostNak_ && reason == kFrameLost && frame.arg == triedOffset_) {
          staleLostNak_ = false;
          return true;
        }
        return GoBack(frame.arg, reason);
      }
      case kResult: return SessionEndedEarly(link_.Reporter(), frame);  // its flash failed
      default: return true;
    }
  }

  // Everything before offset has arrived: one step of progress per frame.
  void Acknowledged(uint32_t offset) {
    if (offset <= acked_ || offset > length_) return;
    for (uint32_t at = acked_; at < offset; at += FrameLength(at)) progress_.FrameAccepted(FrameLength(at));
    acked_ = offset;
    next_ = std::max(next_, offset);
    if (offset > triedOffset_) staleLostNak_ = false;
    deadline_ = After(ackTimeoutMs_);
  }

  // Sends again from offset, counting a try there; false after the last try (reported).
  bool GoBack(uint32_t offset, uint8_t reason) {
    failures_ = offset == triedOffset_ ? failures_ + 1 : 1;
    triedOffset_ = offset;
    if (failures_ >= kTries) {
      DeviceFailure failure{DeviceStep::FrameRefused};
      failure.offset = offset;
      failure.reason = reason;
      return ReportFailure(link_.Reporter(), failure);
    }
    staleLostNak_ = reason == kFrameCrc && next_ > offset + FrameLength(offset);
    next_ = offset;
    deadline_ = After(ackTimeoutMs_);
    return true;
  }

  FrameLink& link_;
  const uint8_t* app_;
  const uint32_t length_;
  const uint32_t page_;
  const uint32_t inFlight_;
  TransferProgress& progress_;
  const unsigned ackTimeoutMs_;
  uint32_t acked_ = 0, next_ = 0;
  uint32_t triedOffset_ = 0;
  int failures_ = 0;
  bool staleLostNak_ = false;
  FrameLink::Clock::time_point deadline_;
};

}  // namespace

bool SendWindowed(FrameLink& link, const uint8_t* app, uint32_t length, const DeviceCapabilities& caps,
                  uint32_t baud, TransferProgress& progress) {
  return Window(link, app, length, caps, baud, progress).Run();
}
