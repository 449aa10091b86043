// What a USB adapter's latency timer costs, in the operator's words, and where to lower
// it: one file per platform (latency_notice_linux.cpp, latency_notice_win32.cpp).
//
//   kLatencyToldAboveMs        a timer above this is told: Linux asks its driver for
//                              1 ms already, Windows keeps what the port's settings say
//   LatencyNotice(path, ms)    "the USB adapter holds ... (set it ...)"
#pragma once

#include <string>

extern const int kLatencyToldAboveMs;

std::string LatencyNotice(const std::string& path, int milliseconds);
