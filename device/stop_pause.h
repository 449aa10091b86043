// A wait that a stop request cuts short: it sleeps in short slices, so that a stop
// request is answered at once.
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/stop_request.h"

inline void Pause(const StopRequest& stop, unsigned milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!stop.Requested() && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(milliseconds, 50u)));
}
