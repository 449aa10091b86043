#include "device/device_failure.h"

const char* DeviceStepName(DeviceStep step) {
  switch (step) {
    case DeviceStep::OpenPort: return "open-port";
    case DeviceStep::GetSettings: return "get-settings";
    case DeviceStep::SetSettings: return "set-settings";
    case DeviceStep::SetTimeout: return "set-timeout";
    case DeviceStep::WriteByte: return "write-byte";
    case DeviceStep::ReadByte: return "read-byte";
    case DeviceStep::SyncAck: return "sync-ack";
    case DeviceStep::UnknownCommand: return "unknown-command";
    case DeviceStep::SendData: return "send-data";
    case DeviceStep::Echo: return "echo";
    case DeviceStep::EndMarker: return "end-marker";
    case DeviceStep::Stopped: return "stopped";
    case DeviceStep::ProbeAnswer: return "probe-answer";
    case DeviceStep::FrameRefused: return "frame-refused";
    case DeviceStep::ImageRefused: return "image-refused";
    case DeviceStep::EndCheck: return "end-check";
  }
  return "unknown";
}
