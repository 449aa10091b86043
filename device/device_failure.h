// What went wrong on the line, as a value the caller can act on. The device layer shows
// nothing itself: every failing step is handed, where it happens, to the reporter that
// the caller passed in, and the front end puts it into its own words (the desktop
// program's dialogs, the command line's result lines).
//
//   DeviceStep        which step failed
//   DeviceFailure     the step, for an echo the byte sent and the byte received, for a
//                     refused frame its offset and reason, for a refused image the
//                     device's reason, and the system's error number of a failing
//                     system call
//   FailureReporter   the seam: one Report call per failing step, in the order they fail
//   DeviceStepName    the step as a short name for machine-readable output ("echo")
//   ReportFailure     reports a failure and returns false, the failure exit of every step
//   Unreported        a reporter that tells nobody: for a step whose failure is no
//                     failure to its caller (a probe nobody answers, a port a search
//                     cannot open)
//
// One fault can fail several steps in a row: a byte that cannot be written is reported
// as WriteByte, then as SendData by the exchange around it, then as EndMarker when it was
// an end-marker byte.
#pragma once

#include <cstdint>

enum class DeviceStep {
  OpenPort,        // the port cannot be opened (missing, in use, no access)
  GetSettings,     // its settings cannot be read (not a serial port)
  SetSettings,     // 9600 8-N-1 cannot be set
  SetTimeout,      // a read time-out cannot be set; the port keeps its previous one
  WriteByte,       // a byte cannot be written
  ReadByte,        // no byte within the read time-out, or the read failed
  SyncAck,         // the answer to the sync is not the acknowledgement
  UnknownCommand,  // the device sent something other than a request
  SendData,        // a data or end-marker byte was not written
  Echo,            // the echo is missing (received 0) or differs from the byte sent
  EndMarker,       // the end-marker rounds did not complete
  Stopped,         // another thread stopped the conversation
  ProbeAnswer,     // the probe was answered by something that is no capability frame
  FrameRefused,    // 3 tries at one offset failed: offset, reason
  ImageRefused,    // the device refused the image's header
  EndCheck,        // the device's result is no success (reason: its status), or none came
};

// Why the device took no frame at an offset (DeviceFailure::reason of FrameRefused).
enum FrameReason : uint8_t { kFrameCrc = 1, kFrameLost = 2, kFrameNoAnswer = 3 };

// Why a device built with keys refused an image (DeviceFailure::refusal), as its RESULT
// says: before anything is erased (the header), or at the end (no record kept).
enum DeviceRefusal : uint8_t {
  kRefusedKey = 2,          // signed with a key the device does not hold
  kRefusedCounter = 3,      // a security counter lower than the device's
  kRefusedSignature = 4,    // the signature does not verify
  kRefusedHash = 5,         // the application received does not hash to the header's
  kCounterNotWritten = 6,   // the device could not raise its security counter
};

struct DeviceFailure {
  DeviceStep step;
  uint8_t sent = 0;      // Echo: the byte sent
  uint8_t received = 0;  // Echo: the byte received, 0 when none came
  // errno (GetLastError on Windows) of the system call that failed, 0 when none did; a
  // line that hung up without an error number is ENODEV on Linux.
  int systemError = 0;
  // FrameRefused: the application's byte the device took no frame at. EndCheck: 0.
  uint32_t offset = 0;
  // FrameRefused: a FrameReason. EndCheck: the device's result status, 0 when none came.
  uint8_t reason = 0;
  // ImageRefused, EndCheck: the reason the device's result gave (a DeviceRefusal), 0
  // when it gave none.
  uint8_t refusal = 0;
};

const char* DeviceStepName(DeviceStep step);

class FailureReporter {
 public:
  virtual void Report(const DeviceFailure& failure) = 0;

 protected:
  ~FailureReporter() = default;
};

// The failure exit of every step: reported, then false.
inline bool ReportFailure(FailureReporter& reporter, const DeviceFailure& failure) {
  reporter.Report(failure);
  return false;
}

class Unreported : public FailureReporter {
 public:
  void Report(const DeviceFailure&) override {}
};
