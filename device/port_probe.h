// Finding the device among several ports: the handshake is the probe, since a device
// answers 0xA5 with 0x5A and anything else takes a lone 0xA5 for noise.
//
//   ProbePorts(paths, stop, firstWins)   opens every path that opens (a port another
//                                        program holds fails to open and is never
//                                        touched), sends each the sync at the same
//                                        moment and waits the handshake's 100 ms: the
//                                        ports whose device acknowledged, still open,
//                                        right after the acknowledgement. With
//                                        firstWins the first acknowledgement ends the
//                                        wait. Every other port is closed having had the
//                                        one sync byte, its settings put back
//   TakeLateAcknowledgement(port)        reads what has arrived since the last sync,
//                                        up to an acknowledgement: true when one came
//                                        (what follows it stays to be read)
#pragma once

#include <string>
#include <vector>

#include "device/serial_port.h"

struct ProbedPort {
  std::string path;
  OwnedPort port;
};

std::vector<ProbedPort> ProbePorts(const std::vector<std::string>& paths, const StopRequest* stop,
                                   bool firstWins);
bool TakeLateAcknowledgement(SerialPort* port);
