// Serial ports of a Windows machine: the COM names the drivers registered, with what
// SetupAPI knows of the device behind each. No port is opened.
#include <windows.h>
// After windows.h, so that this file defines GUID_DEVINTERFACE_COMPORT itself.
#include <initguid.h>
#include <winioctl.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <string>

#include "ports/port_list.h"
#include "files/utf16.h"

namespace {

bool Fail(const char* what, DWORD cause, std::string& error) {
  error = std::string("cannot list serial ports: ") + what + " failed with error " +
          std::to_string(cause);
  return false;
}

// The COM names under HARDWARE\DEVICEMAP\SERIALCOMM, virtual ports included. The key
// only exists while some port does.
bool ReadComNames(std::vector<ListedPort>& ports, std::string& error) {
  HKEY key;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                              KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return Fail("opening SERIALCOMM", status, error);
  DWORD longestName = 0, longestData = 0;
  status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            &longestName, &longestData, nullptr, nullptr);
  std::wstring name(longestName + 1, L'\0');
  std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
  for (DWORD index = 0; status == ERROR_SUCCESS; ++index) {
    DWORD nameLength = longestName + 1, dataSize = longestData, type = 0;
    std::fill(data.begin(), data.end(), L'\0');  // the stored value may lack its end
    status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (status == ERROR_SUCCESS && type == REG_SZ) {
      ListedPort port;
      port.path = Utf8FromWide(data.c_str());
      ports.push_back(port);
    }
  }
  RegCloseKey(key);
  if (status == ERROR_NO_MORE_ITEMS) return true;
  ports.clear();
  return Fail("reading SERIALCOMM", status, error);
}

std::wstring PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  HKEY key =
      SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[256] = {};
  DWORD size = sizeof name - sizeof name[0], type = 0;
  const LONG status =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? name : L"";
}

std::wstring FriendlyName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  wchar_t name[512] = {};
  SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                    reinterpret_cast<BYTE*>(name), sizeof name - sizeof name[0],
                                    nullptr);
  return name;
}

std::string InstanceId(DEVINST node) {
  char id[MAX_DEVICE_ID_LEN + 1] = {};
  if (CM_Get_Device_IDA(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return {};
  return id;
}

// The port's own instance id names its USB device, except for an interface of a composite
// device (USB\VID_..&PID_..&MI_00\..., no serial) and a port made by a vendor's bus driver
// (FTDIBUS\...): there the USB device is the node above.
void ReadUsbIds(DEVINST node, ListedPort& port) {
  if (ParseUsbInstanceId(InstanceId(node), port) && !port.serial.empty()) return;
  DEVINST parent;
  ListedPort above;
  if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS ||
      !ParseUsbInstanceId(InstanceId(parent), above))
    return;
  const bool sameDevice = above.vendorId == port.vendorId && above.productId == port.productId;
  if (!port.vendorId.empty() && !sameDevice) return;  // a hub above a device with no serial
  port.vendorId = above.vendorId;
  port.productId = above.productId;
  port.serial = above.serial;
}

}  // namespace

bool ListSerialPorts(std::vector<ListedPort>& ports, std::string& error) {
  ports.clear();
  if (!ReadComNames(ports, error)) return false;
  HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (devices == INVALID_HANDLE_VALUE) {
    ports.clear();
    return Fail("SetupDiGetClassDevs", GetLastError(), error);
  }
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const std::string name = Utf8FromWide(PortName(devices, device));
    const auto port = std::find_if(ports.begin(), ports.end(),
                                   [&](const ListedPort& listed) { return listed.path == name; });
    if (port == ports.end()) continue;  // its driver has not registered the name (yet)
    port->friendlyName = Utf8FromWide(FriendlyName(devices, device));
    ReadUsbIds(device.DevInst, *port);
  }
  SetupDiDestroyDeviceInfoList(devices);
  SortByPath(ports);
  return true;
}
