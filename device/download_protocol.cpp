// The program's side of the download conversation. Each function reads as its part of
// the conversation; failures are reported where a step fails, in the order they happen.
#include "device/download_protocol.h"

#include "device/frame_codec.h"

using namespace protocol;

namespace {

// The device asks for every byte, the end marker's included, with a request byte.
bool AwaitRequest(SerialPort* port, uint8_t& request, FailureReporter& reporter) {
  return ReceiveByte(port, request, reporter);
}

// The rest of a frame that began with start, read to its end (or to where the parser
// gives it up) so that the byte after it is the next one read.
bool SkipFrame(SerialPort* port, uint8_t start, FailureReporter& reporter) {
  FrameParser parser;
  parser.Feed(&start, 1);
  Frame frame;
  while (!parser.Next(frame) && parser.Begun()) {
    uint8_t byte;
    if (!ReceiveByte(port, byte, reporter)) return false;
    parser.Feed(&byte, 1);
  }
  return true;
}

// The first request after an opening that had no answer in time: the probe's answer
// (afterProbe) and the sync's acknowledgement (lateAcknowledgement) may still come
// before it, in that order, each within the request's time.
bool AwaitFirstRequest(SerialPort* port, uint8_t& request, bool lateAcknowledgement, bool afterProbe,
                       FailureReporter& reporter) {
  if (!AwaitRequest(port, request, reporter)) return false;
  if (afterProbe && request == frames::kStart &&
      !(SkipFrame(port, request, reporter) && AwaitRequest(port, request, reporter))) {
    return false;
  }
  return !(lateAcknowledgement && request == kSyncAck) || AwaitRequest(port, request, reporter);
}

}  // namespace

bool Handshake(SerialPort* port, FailureReporter& reporter) {
  SetReadTimeout(port, kHandshakeTimeoutMs, reporter);
  if (!SendByte(port, kSync, reporter)) return false;
  uint8_t answer;
  if (!ReceiveByte(port, answer, reporter)) return false;
  return answer == kSyncAck || ReportFailure(reporter, {DeviceStep::SyncAck, kSync, answer});
}

bool ExchangeByte(SerialPort* port, uint8_t byte, FailureReporter& reporter) {
  if (!SendByte(port, byte, reporter)) return ReportFailure(reporter, {DeviceStep::SendData, byte});
  FlushPort(port);
  uint8_t echo;
  const bool received = ReceiveByte(port, echo, reporter);
  if (received && echo == byte) return true;
  if (!received && StopRequested(port)) return false;  // reported as stopped
  // A missing echo counts as 0x00 received. A differing one stops the transfer as well:
  // going on after a corrupted byte would end in a success that is not one.
  return ReportFailure(reporter, {DeviceStep::Echo, byte, echo});
}

bool SendEndMarker(SerialPort* port, FailureReporter& reporter) {
  for (int round = 0; round < kEndMarkerRounds; ++round) {
    uint8_t request;
    if (!AwaitRequest(port, request, reporter) || request != kByteRequest) return false;
    if (!ExchangeByte(port, kEndMarker, reporter)) return false;
  }
  return true;
}

bool TransferImage(SerialPort* port, const uint8_t* bytes, uint32_t n, TransferProgress& progress,
                   FailureReporter& reporter, bool lateAcknowledgement, bool afterProbe) {
  SetReadTimeout(port, kTransferTimeoutMs, reporter);
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t request;
    const bool received = i == 0 ? AwaitFirstRequest(port, request, lateAcknowledgement, afterProbe, reporter)
                                 : AwaitRequest(port, request, reporter);
    if (!received) return false;
    if (request != kByteRequest) {
      return ReportFailure(reporter, {DeviceStep::UnknownCommand, kByteRequest, request});
    }
    if (!ExchangeByte(port, bytes[i], reporter)) return false;
    progress.ByteAccepted();
  }
  if (SendEndMarker(port, reporter)) return true;
  return StopRequested(port) ? false : ReportFailure(reporter, {DeviceStep::EndMarker});
}
