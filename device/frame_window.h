// The application's frames with several in flight: the line is kept full while the
// device writes, each cumulative ACK lets the next frames go, and a NAK or a silence
// sends again from the offset the device expects. Three failed tries at one offset end
// the transfer (FrameRefused with the offset and the last reason).
#pragma once

#include "device/frame_link.h"
#include "device/frame_protocol.h"

bool SendWindowed(FrameLink& link, const uint8_t* app, uint32_t length, const DeviceCapabilities& caps,
                  uint32_t baud, TransferProgress& progress);
