// One device's conversation on an open port, in the protocol the run chose
// (attempts/protocol_choice.h): its opening, then its image. The stations and the desktop
// program both talk through it.
//
//   Opening                          what the device answered: its capabilities in
//                                    protocol 2, else whether it acknowledged the sync
//   OpenConversation(port, protocol, opening, reporter)
//       One   the sync (device/download_protocol.h's handshake)
//       Two   the probe, its answer awaited as long as the first protocol's first
//             request (2 s, stoppable), sent once: a device that answers each probe
//             would leave answers to repeated ones in the way of the rate's exchange.
//             No answer is the sync's failure (ReadByte): nothing follows
//       Auto  the probe, and without an answer in its 50 ms the sync, whose
//             acknowledgement may follow a capability frame that came too late
//     true when the device answered as it should; false after the failures' reports
//   TakeLateOpening(port, protocol, opening)
//                                    station mode's answer that came after an attempt's
//                                    wait, read before the next attempt: a late
//                                    capability frame or acknowledgement. Under auto a
//                                    capability frame followed by the acknowledgement is
//                                    protocol 1: the device heard the sync after its answer
//   SendImage(port, opening, image, size, maxBaud, progress, rates, reporter, baud, late)
//                                    the image in the conversation the opening began:
//                                    byte by byte (late: an acknowledgement may still
//                                    come in place of the first request, as
//                                    TransferImage takes it; after auto's probe, a
//                                    capability frame before it), or in frames at the rate
//                                    agreed (baud says which); true only when the device
//                                    took it all. In frames BEGIN carries the reference
//                                    header whole (ReferenceHeaderSize: a signed one is
//                                    checked there). Progress counts the image's bytes in
//                                    either protocol: in frames the header with the first
//                                    frame
#pragma once

#include <cstdint>

#include "attempts/protocol_choice.h"
#include "device/frame_protocol.h"
#include "device/serial_port.h"
#include "device/transfer_progress.h"

struct Opening {
  bool framed = false;        // the device answered the probe: protocol 2
  bool refused = false;       // protocol 2 was required, and no capability frame came
  bool probed = false;        // auto's probe went first: its answer may still come late
  DeviceCapabilities caps;
  uint8_t Protocol() const { return framed ? 2 : 1; }
};

bool OpenConversation(SerialPort* port, Protocol protocol, Opening& opening, FailureReporter& reporter);
bool TakeLateOpening(SerialPort* port, Protocol protocol, Opening& opening);
bool SendImage(SerialPort* port, const Opening& opening, const uint8_t* image, uint32_t size, uint32_t maxBaud,
               TransferProgress& progress, RateEvents& rates, FailureReporter& reporter, uint32_t& baud,
               bool lateAcknowledgement);
