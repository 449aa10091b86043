#include "ports/auto_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "ports/port_list.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

std::vector<std::string> Split(const std::string& joined) {
  std::vector<std::string> paths;
  for (size_t start = 0; start <= joined.size();) {
    const size_t end = std::min(joined.find(':', start), joined.size());
    if (end > start) paths.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return paths;
}

bool OnUsb(const ListedPort& port) {
#ifdef _WIN32
  return !port.vendorId.empty();
#else
  const std::string name = port.path.substr(port.path.find_last_of('/') + 1);
  return !port.vendorId.empty() && (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0);
#endif
}

std::vector<std::string> UsbPorts() {
  std::vector<ListedPort> listed;
  std::vector<std::string> paths;
  if (!ListSerialPorts(listed)) return paths;
  for (const ListedPort& port : listed)
    if (OnUsb(port)) paths.push_back(port.path);
  return paths;
}

#ifdef _WIN32
// COM5, com5 and \\.\COM5 are one port.
std::string ComName(std::string path) {
  if (path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return path;
}
#endif

}  // namespace

bool SamePort(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return ComName(a) == ComName(b);
#else
  struct stat first {}, second {};
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return a == b;
  if (S_ISCHR(first.st_mode) && S_ISCHR(second.st_mode)) return first.st_rdev == second.st_rdev;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

std::vector<std::string> AutoPortCandidates(const std::vector<std::string>& excludes) {
  const char* named = std::getenv("FWFLASH_AUTO_PORTS");
  std::vector<std::string> candidates = named != nullptr ? Split(named) : UsbPorts();
  candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                  [&](const std::string& path) {
                                    return std::any_of(excludes.begin(), excludes.end(),
                                                       [&](const std::string& excluded) {
                                                         return SamePort(path, excluded);
                                                       });
                                  }),
                   candidates.end());
  return candidates;
}
