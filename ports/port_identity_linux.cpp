// A Linux port is its device: the node's device number, whatever path leads to it.
#include <sys/stat.h>

#include "device/same_device_posix.h"
#include "ports/port_identity.h"

bool SamePort(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return a == b;
  return SameDevice(first, second);
}

bool OnUsb(const ListedPort& port) {
  const std::string name = port.path.substr(port.path.find_last_of('/') + 1);
  return !port.vendorId.empty() && (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0);
}
