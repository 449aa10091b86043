// The program's own file, whatever name started it: the windows' titles and both
// programs' --version take their name from it, so a link or a command line of another
// name changes neither.
//
//   ProgramFile(startedAs)          the running program's file (/proc/self/exe, or the
//                                   module's file on Windows); startedAs only when the
//                                   system cannot say
//   ProgramName(file)               the file's name without its folder and ".exe"
//   VersionName(file, own)          own ("fwflash-cli 1.1.0") for a program named as
//                                   fwflash ships it, else "acme-probe-cli (own)"
#pragma once

#include <string>

std::string ProgramFile(const char* startedAs);
std::string ProgramName(const std::string& file);
std::string VersionName(const std::string& file, const std::string& own);
