#include "tools/vdev/vdev_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <cstring>

namespace {

constexpr int kStartLimitMs = 5000;

}  // namespace

std::map<std::string, std::string> ReadVdevReport(const std::string& file) {
  std::map<std::string, std::string> values;
  std::ifstream report(file);
  for (std::string line; std::getline(report, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::string VdevProgram() {
  const char* buildDir = std::getenv("FWFLASH_BUILD_DIR");
  return std::string(buildDir != nullptr ? buildDir : ".") + "/fwflash-vdev";
}

VdevProcess::~VdevProcess() { Stop(); }

bool VdevProcess::Start(const std::vector<std::string>& args) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  const std::string program = VdevProgram();
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  // A real device has a CPU of its own and answers a sync within the program's 100 ms
  // whatever the PC is doing.
  pid_ = StartChild(all, {-1, pipeEnds[1], -1}, RunAheadOfTheLoad);
  close(pipeEnds[1]);
  output_ = pipeEnds[0];
  if (pid_ < 0) {
    error_ = std::string("cannot start ") + program + ": " + std::strerror(errno);
    return false;
  }

  return AwaitTerminal();
}

bool VdevProcess::AwaitTerminal() {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
  path_.clear();
  for (;;) {
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    until - std::chrono::steady_clock::now()).count());
    pollfd output{output_, POLLIN, 0};
    char c;
    if (left <= 0 || poll(&output, 1, left) <= 0 || read(output_, &c, 1) != 1) break;
    if (c == '\n') return true;
    path_ += c;
  }
  error_ = VdevProgram() + " did not report its terminal";
  return false;
}

int VdevProcess::WaitForExit(int limitMs) {
  const int status = pid_ > 0 ? AwaitChildExit(pid_, limitMs) : -1;
  pid_ = -1;
  if (output_ >= 0) close(output_);
  output_ = -1;
  return status;
}

int VdevProcess::Stop() {
  if (pid_ > 0) kill(pid_, SIGTERM);
  return WaitForExit(kStartLimitMs);
}
