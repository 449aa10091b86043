// The candidates of --port auto: the machine's USB serial ports, never a built-in UART
// nor a pseudo-terminal, less the ports that --exclude names.
//
//   AutoPortCandidates(excludes, candidates, error)
//       FWFLASH_AUTO_PORTS (paths joined by ':', for tests and special set-ups) when it is
//       set, else the port list's USB ports (OnUsb), in the list's order; without the
//       paths that name the same port as an excluded one (SamePort). False, with no
//       candidates and the listing's reason in error, when the port list cannot be read
//   kAutoPort       "auto", the --port value that asks for this
#pragma once

#include <string>
#include <vector>

constexpr char kAutoPort[] = "auto";

bool AutoPortCandidates(const std::vector<std::string>& excludes,
                        std::vector<std::string>& candidates, std::string& error);
