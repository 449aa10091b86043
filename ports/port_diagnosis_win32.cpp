// A Windows port's failure: GetLastError's number. Windows says "access denied" both for
// a port another program holds and for one the user may not open.
#include <windows.h>

#include "ports/port_diagnosis.h"

FailureCause ClassifyFailure(const DeviceFailure& failure) {
  const DWORD error = static_cast<DWORD>(failure.systemError);
  if (failure.step == DeviceStep::OpenPort) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FailureCause::Missing;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return FailureCause::InUse;
  }
  const bool onTheLine = failure.step == DeviceStep::ReadByte || failure.step == DeviceStep::WriteByte;
  const bool removed = error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE ||
                       error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED ||
                       error == ERROR_ACCESS_DENIED || error == ERROR_DEVICE_REMOVED;
  return onTheLine && removed ? FailureCause::Gone : FailureCause::None;
}

const char kInUseWords[] = "in use by another program, or not allowed";

std::string PortHolders(const std::string&) { return {}; }
std::string GroupHint(const std::string&) { return {}; }
