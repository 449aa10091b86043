// A program run once for its output: an argument array (never a shell line), the
// environment with some variables added, and a time-out. Its standard output is kept
// whole (and never logged: a generator's output may hold secrets); of its standard error
// only the tail, for a failure's message.
//
//   RunProgram(command, environment, timeoutS, output, errorTail, problem)
//       true when the program ran to its end within timeoutS with exit code 0; else
//       false with problem saying why (it could not start, it timed out and was killed,
//       it ended with code N). Output beyond 64 KiB is a failure too.
//   ProgramRefusal(command)
//       the reason a program may not be run as a generator, or "": on Windows a .bat or
//       .cmd (cmd.exe would read its arguments as commands)
#pragma once

#include <string>
#include <utility>
#include <vector>

using Environment = std::vector<std::pair<std::string, std::string>>;

constexpr size_t kLongestProgramOutput = 64 * 1024;
constexpr size_t kErrorTail = 512;

bool RunProgram(const std::vector<std::string>& command, const Environment& environment,
                unsigned timeoutS, std::string& output, std::string& errorTail, std::string& problem);
std::string ProgramRefusal(const std::vector<std::string>& command);
