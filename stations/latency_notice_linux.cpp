#include "stations/latency_notice.h"

#include <filesystem>
#include <system_error>

#include "stations/latency_cost.h"

const int kLatencyToldAboveMs = 1;

std::string LatencyNotice(const std::string& path, int milliseconds) {
  std::error_code failure;
  const std::filesystem::path device = std::filesystem::canonical(path, failure);
  const std::string name = failure ? "ttyUSB0" : device.filename().string();
  return LatencyCost(milliseconds) + " (lower it: echo 1 | sudo tee /sys/bus/usb-serial/devices/" + name +
         "/latency_timer)";
}
