// The candidates of --port auto: the machine's USB serial ports, never a built-in UART
// nor a pseudo-terminal, less the ports that --exclude names.
//
//   AutoPortCandidates(excludes)   FWFLASH_AUTO_PORTS (paths joined by ':', for tests and
//                                  special set-ups) when it is set, else the port list's
//                                  USB ports: ttyUSB and ttyACM below a USB device on
//                                  Linux, the ports SetupAPI finds on USB on Windows; in
//                                  the list's order, without the excluded
//   SamePort(a, b)                 whether two paths name the same port: the same device
//                                  number on Linux, the same COM name on Windows
//   kAutoPort                      "auto", the --port value that asks for this
#pragma once

#include <string>
#include <vector>

constexpr char kAutoPort[] = "auto";

std::vector<std::string> AutoPortCandidates(const std::vector<std::string>& excludes);
bool SamePort(const std::string& a, const std::string& b);
