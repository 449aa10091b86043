// The line's rate for a transfer in frames: the highest that the device offers, the port
// takes and the settings allow, tried from the top. Each attempt is told to the events;
// a rate the device does not hear at is given up, and after two such the line stays at
// 9600. False only when the port failed (reported).
#pragma once

#include "device/frame_link.h"
#include "device/frame_protocol.h"

bool AgreeRate(FrameLink& link, const DeviceCapabilities& caps, const FrameSettings& settings,
               RateEvents& events, uint32_t& baud);
