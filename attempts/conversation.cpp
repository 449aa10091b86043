#include "attempts/conversation.h"

#include <chrono>
#include <thread>

#include "device/download_protocol.h"
#include "device/port_probe.h"

namespace {

// The image's header goes in BEGIN, before the first frame: counted with that frame, so
// that the bytes accepted are the image's in either protocol.
class HeaderCounted : public TransferProgress {
 public:
  HeaderCounted(TransferProgress& inner, uint32_t header) : inner_(inner), header_(header) {}
  void ByteAccepted() override { FrameAccepted(1); }
  void FrameAccepted(uint32_t bytes) override {
    inner_.FrameAccepted(bytes + header_);
    header_ = 0;
  }

 private:
  TransferProgress& inner_;
  uint32_t header_;
};

// The sync that follows an unanswered probe, and its acknowledgement within the
// handshake's time. A capability frame that comes first answered the probe late: the
// device heard the sync after it, and its acknowledgement follows.
bool SyncAfterProbe(SerialPort* port, FailureReporter& reporter) {
  if (!SendByte(port, protocol::kSync, reporter)) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(protocol::kHandshakeTimeoutMs);
  DeviceCapabilities late;
  do {
    if (TakeLateAnswer(port, late) == LateAnswer::Acknowledgement) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < deadline);
  return ReportFailure(reporter, {DeviceStep::ReadByte});  // as a sync without an answer
}

}  // namespace

bool OpenConversation(SerialPort* port, Protocol protocol, Opening& opening, FailureReporter& reporter) {
  opening = Opening();
  if (protocol == Protocol::One) return Handshake(port, reporter);
  if (protocol == Protocol::Two) {
    // No fallback to protect: the answer may take as long as the first request would.
    opening.framed = ProbeDevice(port, opening.caps, reporter, protocol::kTransferTimeoutMs);
    opening.refused = !opening.framed;
    // Nothing came: told as a sync that went unanswered, whatever else was reported.
    return opening.framed || ReportFailure(reporter, {DeviceStep::ReadByte});
  }
  // Under auto a probe that went unanswered, or was answered by something else, is no
  // failure: the sync follows.
  Unreported unreported;
  opening.probed = true;
  opening.framed = ProbeDevice(port, opening.caps, unreported);
  return opening.framed || SyncAfterProbe(port, reporter);
}

bool TakeLateOpening(SerialPort* port, Protocol protocol, Opening& opening) {
  opening = Opening();
  if (protocol == Protocol::One) return TakeLateAcknowledgement(port);
  if (protocol == Protocol::Two) return opening.framed = TakeLateCapabilities(port, opening.caps);
  switch (TakeLateAnswer(port, opening.caps)) {
    case LateAnswer::Acknowledgement: return true;
    case LateAnswer::Capabilities:
      opening.framed = !TakeLateAcknowledgement(port);
      return true;
    case LateAnswer::None: return false;
  }
  return false;
}

bool SendImage(SerialPort* port, const Opening& opening, const uint8_t* image, uint32_t size, uint32_t maxBaud,
               TransferProgress& progress, RateEvents& rates, FailureReporter& reporter, uint32_t& baud,
               bool lateAcknowledgement) {
  baud = frames::kBaseRate;
  if (opening.refused) return false;  // reported at the opening
  if (!opening.framed) return TransferImage(port, image, size, progress, reporter, lateAcknowledgement, opening.probed);
  // A raw image's first bytes go as an unsigned header would, and the device refuses them.
  uint32_t header = kUnsignedHeaderSize;
  ReferenceHeaderSize(image, size, header);
  FrameSettings settings;
  settings.maxBaud = maxBaud;
  settings.headerSize = static_cast<uint16_t>(header);
  HeaderCounted counted(progress, header);
  return TransferFrames(port, image, size, opening.caps, settings, counted, rates, reporter, baud);
}
