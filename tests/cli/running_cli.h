// fwflash-cli running on its own while the test plays the devices, its standard output
// going to a file.
//
//   RunningCli(args, output)   starts it
//   Pid(), Signal(number)      its process, a signal to it
//   Exit(limitMs)              its exit status, or -1 when it has not ended within limitMs
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

class RunningCli {
 public:
  RunningCli(const std::vector<std::string>& args, const std::string& output) {
    pid_ = fork();
    if (pid_ == 0) {
      int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, STDOUT_FILENO);
      std::vector<char*> argv;
      const std::string program = BuildPath("fwflash-cli");
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~RunningCli() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  }
  pid_t Pid() const { return pid_; }
  void Signal(int number) const { kill(pid_, number); }
  // Its exit status, or -1 when it has not ended within limitMs.
  int Exit(int limitMs) {
    for (int waited = 0; waited < limitMs; waited += 20) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

