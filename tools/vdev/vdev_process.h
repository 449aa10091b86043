// fwflash-vdev as a child process, for the tests and the benchmark.
//
//   VdevProgram()                   $FWFLASH_BUILD_DIR/fwflash-vdev, else ./fwflash-vdev
//   ReadVdevReport(file)            a --report file, key by key; empty before the first
//                                   conversation has ended
//   VdevProcess::Start(args)        runs it and waits (5 s at most) for its terminal's path;
//                                   false with the reason in Error()
//   VdevProcess::TerminalPath()     that path
//   VdevProcess::AwaitTerminal()    waits (5 s at most) for the next path, after a hang-up
//   VdevProcess::WaitForExit(ms)    its exit status; -1 when it had to be killed after ms
//   VdevProcess::Stop()             SIGTERM, then WaitForExit
//
// A process still running when its VdevProcess goes is stopped.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "tools/vdev/child_process.h"

std::string VdevProgram();
std::map<std::string, std::string> ReadVdevReport(const std::string& file);

class VdevProcess {
 public:
  VdevProcess() = default;
  ~VdevProcess();
  VdevProcess(const VdevProcess&) = delete;
  VdevProcess& operator=(const VdevProcess&) = delete;

  bool Start(const std::vector<std::string>& args);
  bool AwaitTerminal();
  const std::string& TerminalPath() const { return path_; }
  const std::string& Error() const { return error_; }
  int WaitForExit(int limitMs);
  int Stop();

 private:
  pid_t pid_ = -1;
  int output_ = -1;  // the child's standard output
  std::string path_, error_;
};
