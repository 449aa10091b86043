// Linux's port listing on other roots than /sys and /dev, so that a test lays out a sysfs
// and a /dev of its own.
//
//   ListSysfsPorts(ports, sysfsRoot, devRoot, error)
//       ListSerialPorts with <sysfsRoot>/class/tty read for /sys/class/tty, and the
//       nodes and udev's links looked for under devRoot instead of /dev
#pragma once

#include <string>
#include <vector>

#include "ports/port_list.h"

bool ListSysfsPorts(std::vector<ListedPort>& ports, const std::string& sysfsRoot,
                    const std::string& devRoot, std::string& error);
