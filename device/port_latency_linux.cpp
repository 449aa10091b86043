#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "device/port_latency.h"

namespace {

// The terminal's name in the kernel (ttyUSB0), also behind a link such as
// /dev/serial/by-id/...: the last part of the path it resolves to.
std::string KernelName(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string real = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  return real.substr(real.find_last_of('/') + 1);
}

}  // namespace

int PortLatencyMs(const std::string& path) {
  const char* root = std::getenv("FWFLASH_SYSFS_ROOT");
  const std::string name = KernelName(path);
  if (name.empty()) return -1;
  std::ifstream timer(std::string(root != nullptr ? root : "/sys") + "/bus/usb-serial/devices/" +
                      name + "/latency_timer");
  int milliseconds = -1;
  if (!(timer >> milliseconds) || milliseconds < 0) return -1;
  return milliseconds;
}
