// Serial ports of a Linux machine, from sysfs and udev's links alone: device nodes are
// only named and resolved as paths, never opened.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "ports/port_list_linux.h"

namespace fs = std::filesystem;

namespace {

// Nodes (resolved) mapped to the stable links that lead to them.
using StableLinks = std::multimap<std::string, std::string>;

bool Fail(const fs::path& path, const std::error_code& cause, std::string& error) {
  error = "cannot list serial ports: " + path.string() + ": " + cause.message();
  return false;
}

// The path with every link resolved, found by reading links only; empty when it leads
// nowhere.
std::string ResolvedPath(const fs::path& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result = resolved;
  std::free(resolved);
  return result;
}

// The attribute's first line; empty when the attribute is missing.
std::string ReadAttribute(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

bool ReadFolder(const fs::path& folder, std::vector<std::string>& names, std::error_code& error) {
  names.clear();
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error))
    names.push_back(entry->path().filename().string());
  return !error;
}

// udev's by-id and by-path links, in name order within each kind; none where udev or
// the adapters are absent.
bool ReadStableLinks(const fs::path& devRoot, StableLinks& links, std::string& error) {
  for (const char* kind : {"by-id", "by-path"}) {
    const fs::path folder = devRoot / "serial" / kind;
    std::vector<std::string> names;
    std::error_code cause;
    if (!ReadFolder(folder, names, cause)) {
      if (cause == std::errc::no_such_file_or_directory) continue;
      return Fail(folder, cause, error);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string target = ResolvedPath(folder / name);
      if (!target.empty()) links.emplace(target, (folder / name).string());
    }
  }
  return true;
}

// The USB device is the nearest folder above the tty's device that has an idVendor:
// interfaces, usb-serial ports and hubs put a varying number of levels in between.
void ReadUsbDevice(const fs::path& device, ListedPort& port) {
  for (fs::path folder = device; folder.has_relative_path(); folder = folder.parent_path()) {
    const std::string vendorId = ReadAttribute(folder / "idVendor");
    if (vendorId.empty()) continue;
    port.vendorId = vendorId;
    port.productId = ReadAttribute(folder / "idProduct");
    port.serial = ReadAttribute(folder / "serial");
    port.manufacturer = ReadAttribute(folder / "manufacturer");
    port.product = ReadAttribute(folder / "product");
    return;
  }
}

}  // namespace

bool ListSysfsPorts(std::vector<ListedPort>& ports, const std::string& sysfsRoot,
                    const std::string& devRoot, std::string& error) {
  ports.clear();
  const fs::path ttys = fs::path(sysfsRoot) / "class" / "tty";
  std::vector<std::string> names;
  std::error_code cause;
  if (!ReadFolder(ttys, names, cause)) return Fail(ttys, cause, error);
  StableLinks links;
  if (!ReadStableLinks(devRoot, links, error)) return false;

  for (const std::string& name : names) {
    const std::string device = ResolvedPath(ttys / name / "device");
    if (device.empty()) continue;  // virtual terminals and consoles have no device
    // serial_core keeps a fixed number of ttyS slots; type 0 means no UART answered.
    if (ReadAttribute(ttys / name / "type") == "0") continue;
    ListedPort port;
    port.path = (fs::path(devRoot) / name).string();
    ReadUsbDevice(device, port);
    const auto [first, last] = links.equal_range(ResolvedPath(port.path));
    for (auto link = first; link != last; ++link) port.stableNames.push_back(link->second);
    ports.push_back(std::move(port));
  }
  SortByPath(ports);
  return true;
}

bool ListSerialPorts(std::vector<ListedPort>& ports, std::string& error) {
  return ListSysfsPorts(ports, "/sys", "/dev", error);
}
