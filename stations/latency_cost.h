// What a latency timer of so many milliseconds costs, said the same on every platform.
#pragma once

#include <string>

inline std::string LatencyCost(int milliseconds) {
  const std::string ms = std::to_string(milliseconds) + " ms";
  return "the USB adapter holds what the device sends for up to " + ms +
         " (its latency timer): protocol 1 waits that long for about every byte, protocol 2 for "
         "each acknowledgement";
}
