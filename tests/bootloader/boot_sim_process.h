// fwflash-boot-sim as a child process: its JSON lines read one by one, stopped, or killed
// as a power cut.
//
//   Start(args)          runs it; false when it could not be started
//   NextLine(limitMs)    its next line of output; empty when none came in time
//   Kill()               SIGKILL: the power goes wherever it was
//   Stop()               SIGTERM, then WaitForExit
//   WaitForExit(ms)      its exit status; -1 when killed, or killed after ms
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tools/vdev/vdev_process.h"

class BootSimProcess {
 public:
  BootSimProcess() = default;
  ~BootSimProcess() { Stop(); }
  BootSimProcess(const BootSimProcess&) = delete;
  BootSimProcess& operator=(const BootSimProcess&) = delete;

  bool Start(const std::vector<std::string>& args) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    std::vector<std::string> all{BuildPath("fwflash-boot-sim")};
    all.insert(all.end(), args.begin(), args.end());
    // A device has a CPU of its own, as the virtual device's.
    pid_ = StartChild(all, {-1, ends[1], -1}, RunAheadOfTheLoad);
    close(ends[1]);
    output_ = ends[0];
    return pid_ > 0;
  }

  std::string NextLine(int limitMs = 10000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
      const size_t end = buffered_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            until - std::chrono::steady_clock::now()).count());
      pollfd output{output_, POLLIN, 0};
      char chunk[256];
      ssize_t n = 0;
      if (left <= 0 || poll(&output, 1, left) <= 0 || (n = read(output_, chunk, sizeof chunk)) <= 0) return "";
      buffered_.append(chunk, static_cast<size_t>(n));
    }
  }

  int Stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    return WaitForExit(5000);
  }

  void Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }

  int WaitForExit(int limitMs) {
    const int status = pid_ > 0 ? AwaitChildExit(pid_, limitMs) : -1;
    pid_ = -1;
    if (output_ >= 0) close(output_);
    output_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string buffered_;
};
