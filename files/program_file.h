// The running program's own file, and its name as the products' names are taken from it.
//
//   ProgramFile(startedAs)   the program file itself, whatever name started it (a link or
//                            a command line of another name changes nothing); startedAs
//                            only when the system cannot say
//   ProgramName(file)        the file's name without its folder and a ".exe" ending
#pragma once

#include <string>

std::string ProgramFile(const char* startedAs);
std::string ProgramName(const std::string& file);
