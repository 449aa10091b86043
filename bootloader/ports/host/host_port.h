// The bootloader core on Linux: its UART is the device's end of a pseudo-terminal, its
// flash a file, its application a line of output. Each seam has a file of its own.
//
//   AttachUart(terminal, pacer)   the UART seam speaks on the terminal, paced as a line
//   OpenFlash(settings, error)    maps the flash file (made erased when new)
#pragma once

#include <cstdint>
#include <string>

#include "pseudo_terminal/line_pacer.h"
#include "pseudo_terminal/pseudo_terminal.h"

// Exit statuses of fwflash-boot-sim.
constexpr int kExitStopped = 0;      // SIGTERM or SIGINT
constexpr int kExitBadStart = 2;     // bad options, or the link or flash could not be set up
constexpr int kExitPowerCut = 3;     // --cut-after struck

struct FlashSettings {
  std::string path;
  uint16_t pageSize = 256;
  uint32_t pages = 64;
  long long cutAfter = -1;  // the power goes in the middle of the operation after this many
  long long wornPage = -1;  // a page whose erase leaves it as it was
};

void AttachUart(PseudoTerminal& terminal, LinePacer& pacer);
bool OpenFlash(const FlashSettings& settings, std::string& error);
