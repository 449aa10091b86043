// What the system says about a port that failed, one source per platform
// (port_diagnosis_linux.cpp, port_diagnosis_win32.cpp).
//
//   ClassifyFailure(failure)   the cause that the failure's system error stands for
//   kInUseWords                how a port held by another program is put
//   PortHolders(path)          "by PID 1234, minicom" for the processes that hold the
//                              port open, found through /proc/*/fd as fuser finds them;
//                              empty when none is found (always on Windows)
//   GroupHint(path)            how to join the group that owns the port, when that group
//                              may read and write it; empty otherwise (always on Windows)
#pragma once

#include <string>

#include "device/device_failure.h"

enum class FailureCause { None, Missing, NotAllowed, InUse, Gone };

FailureCause ClassifyFailure(const DeviceFailure& failure);
extern const char kInUseWords[];
std::string PortHolders(const std::string& path);
std::string GroupHint(const std::string& path);
