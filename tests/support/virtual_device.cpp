#include "tests/support/virtual_device.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

VirtualDevice::VirtualDevice(const std::vector<std::string>& options) {
  const char* buildDir = std::getenv("FWFLASH_BUILD_DIR");
  std::string program = std::string(buildDir ? buildDir : ".") + "/fwflash-vdev";
  char pattern[] = "/tmp/fwflash-vdev-report-XXXXXX";
  int report = mkstemp(pattern);
  reportFile_ = pattern;
  int out[2];
  if (report < 0 || pipe(out) != 0) throw std::runtime_error("cannot start the virtual device");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(report, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& option : options) argv.push_back(const_cast<char*>(option.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(report);
  FILE* in = fdopen(out[0], "r");
  char line[4096] = "";
  if (in == nullptr || std::fgets(line, sizeof line, in) == nullptr)
    throw std::runtime_error("the virtual device printed no terminal path");
  std::fclose(in);
  path_ = line;
  while (!path_.empty() && path_.back() == '\n') path_.pop_back();
}

VirtualDevice::~VirtualDevice() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  unlink(reportFile_.c_str());
}

int VirtualDevice::Wait() {
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string VirtualDevice::Report() const {
  std::ifstream in(reportFile_);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}
