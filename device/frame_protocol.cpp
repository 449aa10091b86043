// The program's side of the conversation in frames. The rate is agreed in frame_rates,
// the application's frames go through the window in frame_window; here are the probe,
// the BEGIN and the END around them.
#include "device/frame_protocol.h"

#include "device/crc32.h"
#include "device/download_protocol.h"
#include "device/frame_link.h"
#include "device/frame_rates.h"
#include "device/frame_window.h"

using namespace frames;

namespace {

// The rest of a frame once it has begun: a device (or an emulator, or an adapter) that
// pauses mid-frame is waited for, since giving up there would take the frame's rest for
// the device's next answer. A whole frame at 9600 baud takes under 30 ms.
constexpr unsigned kFrameRestMs = 1000;
// A device with keys verifies the signature before it erases the record's page and
// answers: about 1.5 s on a small one.
constexpr unsigned kBeginAnswerMs = 3000;
constexpr unsigned kResultMs = 2000;
constexpr int kBeginTries = 3;
constexpr size_t kCapsSize = 10;

bool ReadCapabilities(const Frame& frame, DeviceCapabilities& caps) {
  if (frame.kind != kCaps || !frame.payloadGood || frame.payload.size() < kCapsSize) return false;
  const uint8_t* p = frame.payload.data();
  caps.version = p[0];
  caps.rates = p[1];
  caps.pageSize = static_cast<uint16_t>(p[2] | p[3] << 8);
  caps.framesInFlight = p[4] > 0 ? p[4] : 1;
  caps.areaSize = p[6] | p[7] << 8 | p[8] << 16 | static_cast<uint32_t>(p[9]) << 24;
  return caps.version >= 2 && caps.pageSize > 0 && caps.pageSize <= kMaxPayload;
}

// The rest of a frame that has begun in parser, one byte at a time so that nothing after
// it is taken from the port. False when the port failed or nothing more came in time.
bool FinishFrame(SerialPort* port, FrameParser& parser, Frame& frame, FailureReporter& reporter) {
  const auto deadline = After(kFrameRestMs);
  while (!parser.Next(frame)) {
    if (!parser.Begun() || FrameLink::Clock::now() >= deadline) return false;
    uint8_t byte = 0;
    size_t count = 0;
    if (!ReceiveSome(port, &byte, 1, kFrameRestMs, count, reporter)) return false;
    parser.Feed(&byte, count);
  }
  return true;
}

// The image's header; a NAK (a damaged BEGIN) sends it again at once.
bool Begin(FrameLink& link, const uint8_t* image, uint16_t headerSize) {
  uint8_t reason = kFrameNoAnswer;
  for (int tries = 0; tries < kBeginTries; ++tries) {
    if (!link.Send(kBegin, 0, image, headerSize)) return false;
    const auto deadline = After(kBeginAnswerMs);
    Frame frame;
    bool got = true;
    for (reason = kFrameNoAnswer; got && reason == kFrameNoAnswer;) {
      if (!link.Await(deadline, frame, got)) return false;
      if (!got) break;
      if (frame.kind == kAck && frame.arg == 0) return true;
      if (frame.kind == kResult) return SessionEndedEarly(link.Reporter(), frame);
      if (frame.kind == kNak) reason = frame.payloadGood && !frame.payload.empty() ? frame.payload[0] : uint8_t{kFrameCrc};
    }
  }
  DeviceFailure failure{DeviceStep::FrameRefused};
  failure.reason = reason;
  return ReportFailure(link.Reporter(), failure);
}

bool End(FrameLink& link, const uint8_t* app, uint32_t length) {
  const uint32_t crc = Crc32(app, length);
  const uint8_t crcBytes[4] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
                               static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
  if (!link.Send(kEnd, length, crcBytes, sizeof crcBytes)) return false;
  const auto deadline = After(kResultMs);
  Frame frame;
  bool got = true;
  while (got) {
    if (!link.Await(deadline, frame, got)) return false;
    if (got && frame.kind == kResult) return ResultSaysFlashed(link.Reporter(), frame);
  }
  return ReportFailure(link.Reporter(), {DeviceStep::EndCheck});
}

}  // namespace

bool ProbeDevice(SerialPort* port, DeviceCapabilities& caps, FailureReporter& reporter, unsigned answerMs) {
  if (!SendBlock(port, &kProbe, 1, reporter)) return false;
  uint8_t first = 0;
  size_t count = 0;
  if (!ReceiveSome(port, &first, 1, answerMs, count, reporter) || count == 0) return false;
  FrameParser parser;
  parser.Feed(&first, 1);
  Frame frame;
  if (FinishFrame(port, parser, frame, reporter) && ReadCapabilities(frame, caps)) return true;
  if (StopRequested(port)) return false;
  return ReportFailure(reporter, {DeviceStep::ProbeAnswer});
}

LateAnswer TakeLateAnswer(SerialPort* port, DeviceCapabilities& caps) {
  Unreported unreported;
  FrameParser parser;
  uint8_t byte = 0;
  while (!parser.Begun() && TakeArrivedByte(port, byte)) {
    if (byte == protocol::kSyncAck) return LateAnswer::Acknowledgement;  // the sync's answer
    parser.Feed(&byte, 1);
  }
  Frame frame;
  if (parser.Begun() && FinishFrame(port, parser, frame, unreported) && ReadCapabilities(frame, caps))
    return LateAnswer::Capabilities;
  return LateAnswer::None;
}

bool TakeLateCapabilities(SerialPort* port, DeviceCapabilities& caps) {
  return TakeLateAnswer(port, caps) == LateAnswer::Capabilities;
}

bool TransferFrames(SerialPort* port, const uint8_t* image, uint32_t n, const DeviceCapabilities& caps,
                    const FrameSettings& settings, TransferProgress& progress, RateEvents& rates,
                    FailureReporter& reporter, uint32_t& baud) {
  baud = kBaseRate;
  const uint16_t header = settings.headerSize;
  if (n < header || header > kMaxPayload) return ReportFailure(reporter, {DeviceStep::ImageRefused});
  FrameLink link(port, reporter);
  const uint8_t* app = image + header;
  const uint32_t length = n - header;
  const bool flashed = AgreeRate(link, caps, settings, rates, baud) && Begin(link, image, header) &&
                       SendWindowed(link, app, length, caps, baud, progress) && End(link, app, length);
  // The device starts again at 9600 after its result, or after its time-outs.
  SetPortRate(port, kBaseRate);
  return flashed;
}
