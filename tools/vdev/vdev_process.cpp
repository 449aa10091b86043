#include "tools/vdev/vdev_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <thread>

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
  std::string program = VdevProgram();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    // A real device has a CPU of its own and answers a sync within the program's 100 ms
    // whatever the PC is doing; the emulated one gets that by running ahead of the
    // machine's load, where it may (as root).
    setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) - 10);
    dup2(pipeEnds[1], STDOUT_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
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

int AwaitChildExit(pid_t pid, int limitMs) {
  int status = 0;
  bool exited = false;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!(exited = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!exited) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
