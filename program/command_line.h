// The desktop program's command line, read before any window exists:
//
//   --port PATH   the serial port to use instead of COM1; auto: the USB serial port whose
//                 device answers the sync first, at the press of the button
//   --exclude PATH   with --port auto: a port to leave alone (repeatable)
//   --version     fwflash's version and the firmware this program carries, then the end
//
// Without options the program starts as it always has.
#pragma once

#include <string>
#include <vector>

// Reads the command line; port stays empty without --port. Returns false when the
// program is to end at once with exitCode: 0 after --version, 2 after a bad command
// line, both already shown to the person who started it (program_notice.h), under the
// title that programFile's name gives.
bool ReadCommandLine(int argc, char** argv, const std::string& programFile, std::string& port,
                     std::vector<std::string>& excludes, int& exitCode);
