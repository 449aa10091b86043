// The program's side of the download conversation. Each function reads as its part of
// the conversation; the messages are shown where a step fails, in the order the user
// sees them.
#include "device/download_protocol.h"

#include <cstdio>

#include "app/message_dialog.h"
#include "texts/text_table.h"

using namespace protocol;

namespace {

// The one message that no language file changes.
void ShowEchoMismatch(uint8_t sent, uint8_t received) {
  char text[40];
  std::snprintf(text, sizeof text, "0x%02X sent, but 0x%02X received", sent, received);
  ShowMessageDialog(text);
}

// The device asks for every byte, the end marker's included, with a request byte.
bool AwaitRequest(PortHandle port, uint8_t& request) { return ReceiveByte(port, request); }

}  // namespace

bool Handshake(PortHandle port) {
  SetReadTimeout(port, kHandshakeTimeoutMs);
  if (!SendByte(port, kSync)) return false;
  uint8_t answer;
  if (!ReceiveByte(port, answer)) return false;
  if (answer != kSyncAck) {
    ShowTextMessage(kTextNoAck5A);
    return false;
  }
  return true;
}

bool ExchangeByte(PortHandle port, uint8_t byte) {
  if (!SendByte(port, byte)) {
    ShowTextMessage(kTextCannotSendData);
    return false;
  }
  FlushPort(port);
  uint8_t echo;
  if (ReceiveByte(port, echo) && echo == byte) return true;
  // A missing echo shows 0x00 as received. A differing one stops the transfer as well:
  // going on after a corrupted byte would end in a success that is not one.
  ShowEchoMismatch(byte, echo);
  return false;
}

bool SendEndMarker(PortHandle port) {
  for (int round = 0; round < kEndMarkerRounds; ++round) {
    uint8_t request;
    if (!AwaitRequest(port, request) || request != kByteRequest) return false;
    if (!ExchangeByte(port, kEndMarker)) return false;
  }
  return true;
}

bool TransferImage(PortHandle port, const uint8_t* bytes, uint32_t n, TransferProgress& progress) {
  SetReadTimeout(port, kTransferTimeoutMs);
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t request;
    if (!AwaitRequest(port, request)) return false;
    if (request != kByteRequest) {
      ShowTextMessage(kTextUnknownCommand);
      return false;
    }
    if (!ExchangeByte(port, bytes[i])) return false;
    progress.ByteAccepted();
  }
  if (!SendEndMarker(port)) {
    ShowTextMessage(kTextCannotSendEof);
    return false;
  }
  return true;
}
