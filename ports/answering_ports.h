// The devices among several ports, found at once, in the run's protocol:
//
//   FindAnsweringPorts(paths, probe, sync, stop, firstWins)
//       opens every path that opens (a port another program holds fails to open and is
//       never touched). With probe, each gets the probe at the same moment, and whose
//       device answers with its capabilities within the probe's 50 ms is found, framed.
//       With sync, each port still waiting then gets the sync and the handshake's 100 ms
//       (without probe, the sync alone, as it always was); whose device acknowledges is
//       found, in protocol 1, and a port that answers anything else is dropped. Found ports stay open right after
//       the answer; with firstWins the first answer ends the search. Every other port is
//       closed, having had one byte or, under both, two, its settings put back
#pragma once

#include <string>
#include <vector>

#include "device/frame_protocol.h"
#include "device/serial_port.h"

struct AnsweringPort {
  std::string path;
  OwnedPort port;
  bool framed = false;  // it answered the probe: protocol 2, with caps
  DeviceCapabilities caps;
};

std::vector<AnsweringPort> FindAnsweringPorts(const std::vector<std::string>& paths, bool probe, bool sync,
                                              const StopRequest* stop, bool firstWins);
