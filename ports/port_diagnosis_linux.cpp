// A Linux port's failure: errno, the processes in /proc that hold the port, and the
// port's group.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>

#include "device/same_device_posix.h"
#include "ports/port_diagnosis.h"

namespace {

// The process ids under /proc, in ascending order.
std::map<long, std::string> Processes() {
  std::map<long, std::string> processes;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid > 0 && *end == '\0') processes[pid] = entry->d_name;
  }
  if (proc != nullptr) closedir(proc);
  return processes;
}

bool HoldsOpen(const std::string& pidName, const struct stat& port) {
  const std::string folder = "/proc/" + pidName + "/fd";
  DIR* fds = opendir(folder.c_str());  // only our own user's, unless we are root
  bool holds = false;
  while (dirent* fd = !holds && fds != nullptr ? readdir(fds) : nullptr) {
    struct stat target {};
    holds = fd->d_name[0] != '.' && stat((folder + "/" + fd->d_name).c_str(), &target) == 0 &&
            SameDevice(target, port);
  }
  if (fds != nullptr) closedir(fds);
  return holds;
}

}  // namespace

FailureCause ClassifyFailure(const DeviceFailure& failure) {
  const int error = failure.systemError;
  if (failure.step == DeviceStep::OpenPort) {
    if (error == ENOENT || error == ENODEV || error == ENXIO) return FailureCause::Missing;
    if (error == EACCES || error == EPERM) return FailureCause::NotAllowed;
    if (error == EBUSY || error == EWOULDBLOCK) return FailureCause::InUse;
  }
  const bool onTheLine = failure.step == DeviceStep::ReadByte || failure.step == DeviceStep::WriteByte;
  if (onTheLine && (error == EIO || error == ENODEV || error == ENXIO)) return FailureCause::Gone;
  return FailureCause::None;
}

const char kInUseWords[] = "in use";

std::string PortHolders(const std::string& path) {
  struct stat port {};
  if (stat(path.c_str(), &port) != 0) return {};
  std::string holders;
  for (const auto& [pid, name] : Processes()) {
    if (pid == getpid() || !HoldsOpen(name, port)) continue;
    std::string command;
    std::getline(std::ifstream("/proc/" + name + "/comm"), command);
    holders += (holders.empty() ? "by PID " : "; PID ") + name + ", " + command;
  }
  return holders;
}

std::string GroupHint(const std::string& path) {
  struct stat port {};
  if (stat(path.c_str(), &port) != 0 || (port.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
    return {};
  const group* owner = getgrgid(port.st_gid);
  if (owner == nullptr) return {};
  const passwd* user = getpwuid(geteuid());
  const std::string group = owner->gr_name;
  return "add the user to group " + group + ": sudo usermod -aG " + group + " " +
         (user != nullptr ? user->pw_name : "USER") + ", then log in again";
}
