// What the run's records say of this PC and its product, from the command line.
//
//   HostName()                          this PC's name, for the records' pc
//   DefaultProduct(programFile)         the program's own name without .exe and without
//                                       a -cli ending: acme-probe-cli counts for acme-probe
//   Utf8Argument(argument)              a path from the command line as the records take
//                                       it, in UTF-8 (on Windows the command line comes in
//                                       the ANSI code page; elsewhere it is as given)
#pragma once

#include <string>

std::string HostName();
std::string Utf8Argument(const std::string& argument);
std::string DefaultProduct(const std::string& programFile);
