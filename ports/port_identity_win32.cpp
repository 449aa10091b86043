// A Windows port is its COM name, however it is written.
#include <cctype>

#include "ports/port_identity.h"

namespace {

// COM5, com5 and \\.\COM5 are one port.
std::string ComName(std::string path) {
  if (path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return path;
}

}  // namespace

bool SamePort(const std::string& a, const std::string& b) { return ComName(a) == ComName(b); }

bool OnUsb(const ListedPort& port) { return !port.vendorId.empty(); }
