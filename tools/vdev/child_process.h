// Programs that the tests and the benchmark start as children: the one place they fork
// and exec, and wait for one to end.
//
//   ChildIo                          descriptors to be the child's standard input, output
//                                    and error; -1 leaves the parent's own
//   StartChild(args, io, prepare)    runs args[0] with the arguments; prepare(), when
//                                    given, runs in the child just before the exec (false
//                                    ends it with 126); its pid, or -1
//   RunAheadOfTheLoad()              a prepare for a device's program: it runs ahead of
//                                    the machine's load where it may (as root), as a
//                                    device's own CPU does
//   AwaitChildExit(pid, limitMs)     its exit status; -1 when a signal ended it, or it had
//                                    to be killed after limitMs
//
// A child started from the main thread is killed when the program ends, whatever way it
// ends (PR_SET_PDEATHSIG): a test program that crashes takes its virtual devices and
// programs with it, and none holds ctest's output open after it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ChildIo {
  int in = -1, out = -1, err = -1;
};

pid_t StartChild(const std::vector<std::string>& args, ChildIo io = {},
                 const std::function<bool()>& prepare = nullptr);
bool RunAheadOfTheLoad();
int AwaitChildExit(pid_t pid, int limitMs);
