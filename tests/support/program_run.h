// Runs a program of the build and collects what it printed, for tests that check a
// built executable from the outside.
//
//   BuildPath(relative)    a path inside the build directory (FWFLASH_BUILD_DIR)
//   RunProgram(args)       runs args[0] with the arguments; exit status and output
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string BuildPath(const std::string& relative) {
  const char* build = std::getenv("FWFLASH_BUILD_DIR");
  return std::string(build ? build : ".") + "/" + relative;
}

struct ProgramResult {
  int status = -1;  // the exit status, or -1 when the program did not exit normally
  std::string out, err;
};

inline ProgramResult RunProgram(const std::vector<std::string>& args) {
  char out_path[] = "/tmp/fwflash-outXXXXXX", err_path[] = "/tmp/fwflash-errXXXXXX";
  int out_fd = mkstemp(out_path), err_fd = mkstemp(err_path);
  ProgramResult result;
  pid_t child = fork();
  if (child == 0) {
    dup2(out_fd, STDOUT_FILENO);
    dup2(err_fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int wait_status = 0;
  if (child > 0 && waitpid(child, &wait_status, 0) == child && WIFEXITED(wait_status))
    result.status = WEXITSTATUS(wait_status);
  close(out_fd);
  close(err_fd);
  auto slurp = [](const char* path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    unlink(path);
    return text.str();
  };
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}
