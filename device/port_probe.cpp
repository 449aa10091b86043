#include "device/port_probe.h"

#include "device/download_protocol.h"

bool TakeLateAcknowledgement(SerialPort* port) {
  uint8_t byte = 0;
  while (TakeArrivedByte(port, byte))
    if (byte == protocol::kSyncAck) return true;
  return false;
}
