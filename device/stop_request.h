// A request from another thread to stop a running conversation. A port opened with one
// checks it before every read and at least every 100 ms while a read waits; the step that
// notices it reports DeviceStep::Stopped and the conversation ends without further
// messages.
#pragma once

#include <atomic>

class StopRequest {
 public:
  void Request() { requested_.store(true); }
  bool Requested() const { return requested_.load(); }

 private:
  std::atomic<bool> requested_{false};
};
