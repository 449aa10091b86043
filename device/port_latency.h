// The latency timer of a USB serial adapter's driver: how long the adapter holds what it
// received before passing it on. At one byte per turn, or one acknowledgement per frame,
// it sets the pace of a transfer, so the front ends tell the user when it is high.
//
//   PortLatencyMs(path)   the timer in milliseconds; -1 when the port has none (no USB
//                         adapter, a driver without one) or it cannot be read.
//                         Linux: the usb-serial driver's latency_timer in sysfs, under
//                         FWFLASH_SYSFS_ROOT instead of /sys when that is set (tests).
//                         Windows: an FTDI port's LatencyTimer among its device
//                         parameters, which any user may read
#pragma once

#include <string>

int PortLatencyMs(const std::string& path);
