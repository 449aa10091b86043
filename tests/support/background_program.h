// A program left running on its own while the test goes on, its output in files; killed
// (SIGKILL) if it still runs when it goes, and with the test program should that crash.
//
//   BackgroundProgram(args, out, err, folder)
//                                       runs args[0] with the arguments, its standard
//                                       output to the file out and its error to err
//                                       (empty: the test's own), in the working
//                                       directory folder (empty: the test's own)
//   BackgroundCli(args, out, err, folder)
//                                       the same for the build's fwflash-cli
//   Pid(), Signal(number)               its process, a signal to it
//   Exit(limitMs)                       its exit status; kNotEnded when it has not ended
//                                       within limitMs, kEndedBySignal when a signal
//                                       ended it
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/program_run.h"

class BackgroundProgram {
 public:
  static constexpr int kNotEnded = -1, kEndedBySignal = -2;

  BackgroundProgram(const std::vector<std::string>& args, const std::string& out, const std::string& err = "",
                    const std::string& folder = "") {
    const int outFd = Open(out), errFd = Open(err);
    pid_ = StartChild(args, {-1, outFd, errFd},
                      [&folder] { return folder.empty() || chdir(folder.c_str()) == 0; });
    for (const int fd : {outFd, errFd})
      if (fd >= 0) close(fd);
  }
  ~BackgroundProgram() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int number) const {
    if (pid_ > 0) kill(pid_, number);
  }
  int Exit(int limitMs) {
    for (int waited = 0; pid_ > 0 && waited < limitMs; waited += 20) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : kEndedBySignal;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return kNotEnded;
  }

 private:
  static int Open(const std::string& path) {
    return path.empty() ? -1 : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  }

  pid_t pid_ = -1;
};

class BackgroundCli : public BackgroundProgram {
 public:
  BackgroundCli(std::vector<std::string> args, const std::string& out, const std::string& err = "",
                const std::string& folder = "")
      : BackgroundProgram(WithCli(std::move(args)), out, err, folder) {}

 private:
  static std::vector<std::string> WithCli(std::vector<std::string> args) {
    args.insert(args.begin(), BuildPath("fwflash-cli"));
    return args;
  }
};
