#include "tools/vdev/child_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

// In the child: a descriptor made its standard one, unless it stays the parent's.
void Take(int fd, int standard) {
  if (fd >= 0 && fd != standard) dup2(fd, standard);
}

}  // namespace

pid_t StartChild(const std::vector<std::string>& args, ChildIo io, const std::function<bool()>& prepare) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  // The death signal follows the thread that forked: only the main thread lives as long
  // as the program.
  const bool mainThread = syscall(SYS_gettid) == parent;
  const pid_t child = fork();
  if (child != 0) return child;
  if (mainThread && (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)) _exit(126);
  Take(io.in, STDIN_FILENO);
  Take(io.out, STDOUT_FILENO);
  Take(io.err, STDERR_FILENO);
  if (prepare && !prepare()) _exit(126);
  execv(argv[0], argv.data());
  _exit(127);
}

bool RunAheadOfTheLoad() {
  setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) - 10);  // refused unless root: no matter
  return true;
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
