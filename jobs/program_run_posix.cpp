#include "jobs/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The environment of this process with the additions, as "NAME=VALUE" strings.
std::vector<std::string> Merged(const Environment& additions) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& addition : additions) replaced = replaced || text.rfind(addition.first + "=", 0) == 0;
    if (!replaced) merged.push_back(text);
  }
  for (const auto& addition : additions) merged.push_back(addition.first + "=" + addition.second);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  return pointers;
}

void Close(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

std::string ProgramRefusal(const std::vector<std::string>&) { return ""; }

bool RunProgram(const std::vector<std::string>& command, const Environment& environment,
                unsigned timeoutS, std::string& output, std::string& errorTail, std::string& problem) {
  output.clear();
  errorTail.clear();
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    problem = std::string("cannot make a pipe: ") + std::strerror(errno);
    Close(out[0]), Close(out[1]), Close(err[0]), Close(err[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<std::string> arguments = command, variables = Merged(environment);
  std::vector<char*> argv = Pointers(arguments), envp = Pointers(variables);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Close(out[1]);
  Close(err[1]);
  if (spawned != 0) {
    problem = "cannot start " + command[0] + ": " + std::strerror(spawned);
    Close(out[0]), Close(err[0]);
    return false;
  }
  // Both pipes are read until they close or the time is up, so that a chatty stderr
  // cannot block the program.
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutS);
  bool timedOut = false, tooLong = false;
  while (out[0] >= 0 || err[0] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? out[0] : err[0];
      if (fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) {
        Close(fd);
        continue;
      }
      std::string& kept = i == 0 ? output : errorTail;
      kept.append(buffer, static_cast<size_t>(got));
      if (i == 1 && kept.size() > kErrorTail) kept.erase(0, kept.size() - kErrorTail);
      if (i == 0 && kept.size() > kLongestProgramOutput) tooLong = true;
    }
    if (tooLong) break;
  }
  Close(out[0]);
  Close(err[0]);
  // A program that closed its output may still run: it too has until the deadline.
  int status = 0;
  pid_t ended = 0;
  while (!timedOut && !tooLong && (ended = waitpid(child, &status, WNOHANG)) == 0) {
    timedOut = Clock::now() >= deadline;
    if (!timedOut) usleep(10 * 1000);
  }
  if (ended <= 0) {
    kill(child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (timedOut) {
    problem = command[0] + " did not end within " + std::to_string(timeoutS) + " s and was stopped";
  } else if (tooLong) {
    problem = command[0] + " printed more than " + std::to_string(kLongestProgramOutput) + " bytes";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    problem = command[0] + (WIFEXITED(status) ? " ended with exit code " + std::to_string(WEXITSTATUS(status))
                                              : " was ended by signal " + std::to_string(WTERMSIG(status)));
  } else {
    return true;
  }
  return false;
}
