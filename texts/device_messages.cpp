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

std::string FrameRefusedText(uint32_t offset, uint8_t reason) {
  const char* why = reason == kFrameCrc ? "CRC" : reason == kFrameLost ? "lost" : "no answer";
  return "the device took no frame at byte " + std::to_string(offset) + " after 3 tries: " + why;
}

// A device built with keys refuses a signed image before it erases anything.
std::string ImageRefusedText(uint8_t refusal) {
  const std::string refused = "the device refused the image: ";
  switch (refusal) {
    case kRefusedKey: return refused + "it is signed by a key the device does not know";
    case kRefusedCounter: return refused + "its security counter is lower than the device's";
    case kRefusedSignature: return refused + "its signature does not verify";
    default: return "the device refused the image's header";
  }
}

std::string EndCheckText(uint8_t status, uint8_t refusal) {
  if (refusal == kRefusedHash) return "the image's body does not match its signed hash; the device kept no record";
  if (refusal == kCounterNotWritten)
    return "the device could not write its security counter; it kept no record";
  switch (status) {
    case 0: return "the device gave no result for the image within 2 s";
    case 2: return "the device received another length or CRC-32 than was sent";
    default: return "the device's flash failed, or read back otherwise than written";
  }
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
    case DeviceStep::ProbeAnswer: return "the device answered the probe with no capability frame";
    case DeviceStep::FrameRefused: return FrameRefusedText(failure.offset, failure.reason);
    case DeviceStep::ImageRefused: return ImageRefusedText(failure.refusal);
    case DeviceStep::EndCheck: return EndCheckText(failure.reason, failure.refusal);
    case DeviceStep::Stopped: break;
  }
  // Only a front end that stops conversations meets this; the text table has no slot.
  return "Stopped";
}

void DialogFailureReporter::Report(const DeviceFailure& failure) {
  ShowMessageDialog(DeviceFailureText(failure));
}
