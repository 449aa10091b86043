// An FTDI port's device parameters live under Enum\FTDIBUS\<device>\<instance>; the one
// whose PortName is the port's holds its LatencyTimer. Read-only access suffices.
#include <windows.h>

#include <cctype>
#include <string>

#include "device/port_latency.h"

namespace {

// COM3 also as \\.\COM3, in either case.
std::string PortName(const std::string& path) {
  std::string name = path.compare(0, 4, "\\\\.\\") == 0 ? path.substr(4) : path;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::string SubkeyName(HKEY key, DWORD index) {
  char name[256];
  DWORD size = sizeof name;
  if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return "";
  return std::string(name, size);
}

// The latency of one instance's parameters when they name the port; -1 otherwise.
int InstanceLatency(HKEY instance, const std::string& port) {
  HKEY parameters;
  if (RegOpenKeyExA(instance, "Device Parameters", 0, KEY_READ, &parameters) != ERROR_SUCCESS) return -1;
  char name[64] = {};
  DWORD nameSize = sizeof name - 1;
  DWORD latency = 0, latencySize = sizeof latency, type = 0;
  int found = -1;
  if (RegQueryValueExA(parameters, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &nameSize) ==
          ERROR_SUCCESS &&
      type == REG_SZ && PortName(name) == port &&
      RegQueryValueExA(parameters, "LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&latency),
                       &latencySize) == ERROR_SUCCESS &&
      type == REG_DWORD) {
    found = static_cast<int>(latency);
  }
  RegCloseKey(parameters);
  return found;
}

// The first of a key's subkeys for which look gives a latency.
template <class Look>
int FirstInSubkeys(HKEY key, Look look) {
  int found = -1;
  for (DWORD i = 0; found < 0; ++i) {
    const std::string name = SubkeyName(key, i);
    HKEY subkey;
    if (name.empty()) break;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &subkey) != ERROR_SUCCESS) continue;
    found = look(subkey);
    RegCloseKey(subkey);
  }
  return found;
}

}  // namespace

int PortLatencyMs(const std::string& path) {
  const std::string port = PortName(path);
  HKEY ftdi;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS", 0, KEY_READ, &ftdi) !=
      ERROR_SUCCESS) {
    return -1;
  }
  const int latency = FirstInSubkeys(ftdi, [&](HKEY device) {
    return FirstInSubkeys(device, [&](HKEY instance) { return InstanceLatency(instance, port); });
  });
  RegCloseKey(ftdi);
  return latency;
}
