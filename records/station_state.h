// What a station is doing now, as it writes it to the store for the line's dashboard:
// one row per PC and port, replaced at every change and at least every 5 s.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct StationState {
  std::string pc, port;          // the key; the port as given to --port
  std::string state;             // "waiting", "flashing", "passed", "failed", "port", "stopped"
  unsigned percent = 0;          // while flashing, in steps of 10
  std::optional<int64_t> serial; // the device in hand, or the last device's
  std::string step, message;     // the last failure's step and message; a port problem's message
  uint32_t firmwareCrc32 = 0;    // the base firmware the station sends
  int64_t updatedMs = 0;         // UTC; a station not heard from for 15 s is not running
  std::string label;             // --port LABEL=PATH, empty without one
  int64_t progressMs = 0;        // UTC: its last change of state or percent (heartbeats
                                 // rewrite updatedMs alone); stuck while flashing when old
};
