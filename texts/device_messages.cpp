#include "texts/device_messages.h"

#include <cstdio>

#include "texts/text_table.h"
#include "toolkit/message_dialog.h"

namespace {

// The one message that no language file changes.
std::string EchoText(uint8_t sent, uint8_t received) {
  char text[40];
  std::snprintf(text, sizeof text, "0x%02X sent, but 0x%02X received", sent, received);
  return text;
}

}  // namespace

std::string DeviceFailureText(const DeviceFailure& failure) {
  switch (failure.step) {
    case DeviceStep::OpenPort: return ReadTextSlot(kTextCannotOpenPort);
    case DeviceStep::GetSettings: return ReadTextSlot(kTextCannotGetParameters);
    case DeviceStep::SetSettings: return ReadTextSlot(kTextCannotSetParameters);
    case DeviceStep::SetTimeout: return ReadTextSlot(kTextSetTimeoutsError);
    case DeviceStep::WriteByte: return ReadTextSlot(kTextCannotWritePort);
    case DeviceStep::ReadByte: return ReadTextSlot(kTextCannotReadPort);
    case DeviceStep::SyncAck: return ReadTextSlot(kTextNoAck5A);
    case DeviceStep::UnknownCommand: return ReadTextSlot(kTextUnknownCommand);
    case DeviceStep::SendData: return ReadTextSlot(kTextCannotSendData);
    case DeviceStep::EndMarker: return ReadTextSlot(kTextCannotSendEof);
    case DeviceStep::Echo: return EchoText(failure.sent, failure.received);
    case DeviceStep::Stopped: break;
  }
  // Only a front end that stops conversations meets this; the text table has no slot.
  return "Stopped";
}

void DialogFailureReporter::Report(const DeviceFailure& failure) {
  ShowMessageDialog(DeviceFailureText(failure));
}
