// Runs a program of the build and collects what it printed, for tests that check a
// built executable from the outside.
//
//   BuildPath(relative)    a path inside the build directory (FWFLASH_BUILD_DIR)
//   RunProgram(args)       runs args[0] with the arguments; exit status and output
//   SplitRows(text)        a shell's rows (psql -A, the sqlite3 shell), fields split at '|'
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/vdev/child_process.h"

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
  int out_fd = mkostemp(out_path, O_CLOEXEC), err_fd = mkostemp(err_path, O_CLOEXEC);
  ProgramResult result;
  const pid_t child = StartChild(args, {-1, out_fd, err_fd});
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

inline std::vector<std::vector<std::string>> SplitRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t bar; (bar = line.find('|', from)) != std::string::npos; from = bar + 1)
      fields.push_back(line.substr(from, bar - from));
    fields.push_back(line.substr(from));
    rows.push_back(fields);
  }
  return rows;
}
