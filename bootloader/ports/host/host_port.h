// The bootloader core on Linux: its UART is the device's end of a pseudo-terminal, its
// flash a file, its application a line of output. Each seam has a file of its own.
//
//   AttachUart(line, settings)    the UART seam speaks on the line (host_line.h)
//   OpenFlash(settings, error)    maps the flash file (made erased when new)
//   LoadKeys(paths, flash, error) the public keys the bootloader is built with (none: it
//                                 takes unsigned images); with keys, 4 pages at least
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bootloader/ports/host/host_line.h"

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
  double pageMs = 0;        // how long a page's erase and write take together
};

struct UartSettings {
  uint32_t maxBaud = 2000000;   // the highest rate announced
  uint8_t framesInFlight = 4;   // the frames the line holds while the flash is busy
};

void AttachUart(HostLine& line, const UartSettings& settings);
bool OpenFlash(const FlashSettings& settings, std::string& error);
bool LoadKeys(const std::vector<std::string>& paths, const FlashSettings& flash, std::string& error);
