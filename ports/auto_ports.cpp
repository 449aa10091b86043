#include "ports/auto_ports.h"

#include <algorithm>
#include <cstdlib>

#include "ports/port_identity.h"
#include "ports/port_list.h"

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

bool UsbPorts(std::vector<std::string>& paths, std::string& error) {
  std::vector<ListedPort> listed;
  if (!ListSerialPorts(listed, error)) return false;
  for (const ListedPort& port : listed)
    if (OnUsb(port)) paths.push_back(port.path);
  return true;
}

}  // namespace

bool AutoPortCandidates(const std::vector<std::string>& excludes,
                        std::vector<std::string>& candidates, std::string& error) {
  candidates.clear();
  const char* named = std::getenv("FWFLASH_AUTO_PORTS");
  if (named != nullptr)
    candidates = Split(named);
  else if (!UsbPorts(candidates, error))
    return false;
  candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                  [&](const std::string& path) {
                                    return std::any_of(excludes.begin(), excludes.end(),
                                                       [&](const std::string& excluded) {
                                                         return SamePort(path, excluded);
                                                       });
                                  }),
                   candidates.end());
  return true;
}
