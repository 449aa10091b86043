// The second download conversation, in frames, for a device that answers the probe:
//
//   program 0x3F (the probe), device CAPS (what it can do)      ProbeDevice (50 ms)
//   BAUD(r) at 9600, ACK(r); both switch; CHECK(r), ACK(r)      the rate (300 ms at r)
//   BEGIN(the image's header), ACK(0)                           the record's page erased
//                                                               (3 s: a signature checked)
//   DATA(offset, page) ..., each acknowledged with the offset   a window of frames in
//                           the device expects next               flight, resent from an
//                                                                 offset a NAK names or
//                                                                 after the ACK time-out
//   END(length, CRC-32), RESULT(0)                              the valid record written
//
// A rate the device does not hear is given up after 300 ms: both go back to 9600 and the
// next lower rate is tried; after two the transfer goes on at 9600. Each operation hands
// its own failures to the caller's reporter and returns false; success is the device's
// RESULT 0 and nothing less. A stopped port ends the conversation at its next read.
#pragma once

#include <cstdint>

#include "device/serial_port.h"
#include "device/transfer_progress.h"

// <windows.h> makes DeviceCapabilities a macro (a printer function's), which would rename
// the capabilities below; a file that sees both includes windows.h first.
#ifdef DeviceCapabilities
#undef DeviceCapabilities
#endif

namespace frames {
constexpr uint8_t kProbe = 0x3F;
constexpr unsigned kProbeAnswerMs = 50;
constexpr uint32_t kRates[8] = {115200, 230400, 250000, 460800, 500000, 921600, 1000000, 2000000};
constexpr uint32_t kBaseRate = 9600;
}  // namespace frames

struct DeviceCapabilities {
  uint8_t version = 0;        // 2
  uint8_t rates = 0;          // bit i: frames::kRates[i]
  uint16_t pageSize = 0;      // the payload of a full DATA frame
  uint8_t framesInFlight = 1;
  uint32_t areaSize = 0;      // the largest application the device takes
};

// Sends the probe once and waits answerMs (stoppable) for the answer to begin. True with
// the capabilities when a CAPS frame came; false when nothing came (nothing reported:
// the caller decides whether that is a failure) or when what came is no CAPS frame
// (reported as ProbeAnswer).
bool ProbeDevice(SerialPort* port, DeviceCapabilities& caps, FailureReporter& reporter,
                 unsigned answerMs = frames::kProbeAnswerMs);

// What has arrived since a probe and a sync, taken without waiting for its first byte
// and never past its end: a CAPS frame (the rest of one that has begun is waited for),
// or the sync's acknowledgement, or neither (what came is dropped).
enum class LateAnswer { None, Capabilities, Acknowledgement };
LateAnswer TakeLateAnswer(SerialPort* port, DeviceCapabilities& caps);
// A CAPS answer that began after the probe's wait (a late answer), taken without
// waiting for its first byte; false when none has begun.
bool TakeLateCapabilities(SerialPort* port, DeviceCapabilities& caps);

// What the transfer tells besides progress: each change of rate, the ones that failed too.
class RateEvents {
 public:
  virtual void RateChanged(uint32_t from, uint32_t to, bool taken) = 0;

 protected:
  ~RateEvents() = default;
};

struct FrameSettings {
  uint32_t maxBaud = 2000000;  // --max-baud
  uint16_t headerSize = 8;     // the image's header, which BEGIN carries whole
};

// After an answered probe: agrees the rate, sends BEGIN with the image's header,
// the application in frames, END; true only when the device answered RESULT 0 (flashed).
// image/n: the whole image, header included. baud: the rate the application went at.
// Progress: TransferProgress::FrameAccepted(bytes) once per acknowledged frame. The port
// is back at 9600 afterwards, as the device is after its result.
bool TransferFrames(SerialPort* port, const uint8_t* image, uint32_t n, const DeviceCapabilities& caps,
                    const FrameSettings& settings, TransferProgress& progress, RateEvents& rates,
                    FailureReporter& reporter, uint32_t& baud);
