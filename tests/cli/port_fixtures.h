// Ports for fwflash-cli's tests that are not a virtual device:
//
//   BareTerminal      a pseudo-terminal of which the test holds only the far end, so that
//                     no process but fwflash-cli has the port open; Arrived() reads what
//                     was sent to it so far
//   HoldingProcess    a child that holds a path open and locked (flock, or the terminal's
//                     exclusive mode), as another serial program does, running as
//                     "sleep" until the test ends
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/vdev/child_process.h"

class BareTerminal {
 public:
  BareTerminal() {
    far_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const char* name = far_ >= 0 && grantpt(far_) == 0 && unlockpt(far_) == 0 ? ptsname(far_) : nullptr;
    if (name != nullptr) path_ = name;
  }
  ~BareTerminal() {
    if (far_ >= 0) close(far_);
  }
  BareTerminal(const BareTerminal&) = delete;
  BareTerminal& operator=(const BareTerminal&) = delete;

  const std::string& Path() const { return path_; }
  // Everything sent to the terminal until now (a port closed since does not lose it).
  std::vector<uint8_t> Arrived() {
    uint8_t buffer[256];
    for (ssize_t n; (n = read(far_, buffer, sizeof buffer)) > 0;) arrived_.insert(arrived_.end(), buffer, buffer + n);
    return arrived_;
  }

 private:
  int far_ = -1;
  std::string path_;
  std::vector<uint8_t> arrived_;
};

class HoldingProcess {
 public:
  enum Lock { kFlock, kExclusive };
  explicit HoldingProcess(const std::string& path, Lock lock = kFlock) {
    pid_ = StartChild({"/bin/sleep", "600"}, {}, [&] {
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
      return fd >= 0 && (lock == kFlock ? flock(fd, LOCK_EX) : ioctl(fd, TIOCEXCL)) == 0;
    });
    // Held once the child runs as sleep: the lock was taken before.
    for (int waited = 0; waited < 10000 && Command() != "sleep"; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~HoldingProcess() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  HoldingProcess(const HoldingProcess&) = delete;
  HoldingProcess& operator=(const HoldingProcess&) = delete;

  pid_t Pid() const { return pid_; }
  std::string Command() const {
    std::string command;
    std::getline(std::ifstream("/proc/" + std::to_string(pid_) + "/comm"), command);
    return command;
  }

 private:
  pid_t pid_ = -1;
};
