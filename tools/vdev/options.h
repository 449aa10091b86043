// The virtual device's command line.
//
//   ParseOptions(argc, argv, options, error)   fills options; false with a reason in error
//   kUsage                                     the --help text
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/vdev/fault.h"

struct Options {
  std::string link;                // --link PATH
  bool expecting = false;          // --expect FILE given
  std::vector<uint8_t> expected;   // its bytes
  uint32_t imageSize = 0;          // bytes the device asks for
  std::string reportFile;          // --report FILE
  std::string dataPrefix;          // --data PREFIX
  bool baudEmulation = false;      // --baud-emulation
  unsigned idleMs = 3000;          // --idle-ms
  unsigned syncDelayMs = 0;        // --sync-delay-ms: the acknowledgement's delay
  unsigned timeoutSeconds = 0;     // --timeout, 0 for none
  bool quiet = false;              // --quiet
  bool help = false;               // --help
  std::vector<Fault> faults;       // --fault, any number
  bool replug = false;             // --replug given
  unsigned replugMs = 0;           // its time unplugged
  bool random = false;             // --random given
  uint64_t randomSeed = 0;         // its seed
  std::vector<uint8_t> leftover;   // --leftover HEX: waiting in the terminal from the start
};

extern const char kUsage[];

bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
