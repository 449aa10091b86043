// What a port is, one source per platform (port_identity_linux.cpp, port_identity_win32.cpp).
//
//   SamePort(a, b)   whether two paths name the same port: on Linux the same device (a
//                    link to it, or another node of it, is the same port; paths that name
//                    nothing are compared as they are written); on Windows the same COM
//                    name (COM5, com5 and \\.\COM5 are one port)
//   OnUsb(port)      whether a listed port is a USB adapter's: on Linux a ttyUSB or ttyACM
//                    below a USB device, never a built-in UART nor a pseudo-terminal; on
//                    Windows any port that SetupAPI finds on USB
#pragma once

#include <string>

#include "ports/port_list.h"

bool SamePort(const std::string& a, const std::string& b);
bool OnUsb(const ListedPort& port);
