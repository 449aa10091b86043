// The program's side of the download conversation. Each function reads as its part of
// the conversation; failures are reported where a step fails, in the order they happen.
#include "device/download_protocol.h"

using namespace protocol;

namespace {

// The device asks for every byte, the end marker's included, with a request byte.
bool AwaitRequest(SerialPort* port, uint8_t& request, FailureReporter& reporter) {
  return ReceiveByte(port, request, reporter);
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
                   FailureReporter& reporter, bool lateAcknowledgement) {
  SetReadTimeout(port, kTransferTimeoutMs, reporter);
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t request;
    if (!AwaitRequest(port, request, reporter)) return false;
    // The sync's answer, later than the handshake waited: the request follows it.
    if (i == 0 && lateAcknowledgement && request == kSyncAck && !AwaitRequest(port, request, reporter)) {
      return false;
    }
    if (request != kByteRequest) {
      return ReportFailure(reporter, {DeviceStep::UnknownCommand, kByteRequest, request});
    }
    if (!ExchangeByte(port, bytes[i], reporter)) return false;
    progress.ByteAccepted();
  }
  if (SendEndMarker(port, reporter)) return true;
  return StopRequested(port) ? false : ReportFailure(reporter, {DeviceStep::EndMarker});
}
