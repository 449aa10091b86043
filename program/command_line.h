// The desktop program's command line, read before any window exists:
//
//   --port PATH   the serial port to use instead of COM1; auto: the USB serial port whose
//                 device answers the sync first, at the press of the button
//   --exclude PATH   with --port auto: a port to leave alone (repeatable)
//   --protocol 1|2|auto   the conversation (attempts/protocol_choice.h); default: chosen
//                 by the firmware carried
//   --max-baud N  the highest rate protocol 2 proposes
//   --key NAME.pub   the firmware carried must be signed with this public key: checked
//                 before any window, refused as a bad command line is
//   --version     fwflash's version and the firmware this program carries, then the end
//
// Without options the program starts as it always has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "attempts/protocol_choice.h"

struct DesktopOptions {
  std::string port;  // empty without --port
  std::vector<std::string> excludes;
  Protocol protocol = Protocol::One;  // as given, else as the firmware carried says
  uint32_t maxBaud = kDefaultMaxBaud;
};

// Reads the command line. Returns false when the program is to end at once with
// exitCode: 0 after --version, 2 after a bad command line, both already shown to the
// person who started it (program_notice.h), under the title that programFile's name gives.
bool ReadCommandLine(int argc, char** argv, const std::string& programFile, DesktopOptions& options,
                     int& exitCode);
