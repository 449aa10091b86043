#include "tools/boot-image/sign_command.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

// Reads until the end of the output or one byte more than a signature.
size_t ReadAnswer(int fd, uint8_t* answer, size_t room) {
  size_t got = 0;
  for (ssize_t n; got < room && (n = read(fd, answer + got, room - got)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

bool SignWithCommand(const std::vector<std::string>& command, const std::vector<uint8_t>& bytes, Signature& signature,
                     std::string& error) {
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    close(to_child[0]);
    close(to_child[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);

  // The bytes are a header's, far less than a pipe holds: written whole before reading.
  const bool sent = spawned == 0 && write(to_child[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(to_child[1]);
  uint8_t answer[sizeof signature + 1];
  const size_t got = spawned == 0 ? ReadAnswer(from_child[0], answer, sizeof answer) : 0;
  close(from_child[0]);
  int status = 0;
  if (spawned != 0) {
    error = "cannot start " + command[0] + ": " + std::strerror(spawned);
    return false;
  }
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = "the signing command " + command[0] + " failed (" +
            (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status)) : std::string("killed")) + ")";
    return false;
  }
  if (!sent || got != sizeof signature) {
    error = "the signing command " + command[0] + " gave " + (got > sizeof signature ? "more than 64" : std::to_string(got)) +
            " bytes, not a 64-byte signature" + (sent ? "" : " (it did not take the bytes to be signed)");
    return false;
  }
  std::memcpy(signature.data(), answer, sizeof signature);
  return true;
}
