// What one device's flash came to, and what a station tells while it works. A station
// runs on a thread of its own; the output behind StationEvents takes calls from
// several stations at once.
//
//   StationResult        one device: ok, bytes accepted, where it stopped, the messages
//   ExitCodeOf(result)   0 flashed, 1 failed, 3 the port could not be opened or set up
//   JoinedMessages       the messages as one line
//   Tenths(accepted, size)
//                        the tenth of the image that accepted bytes have reached (0 to 10)
//   StationEvents        waiting for a device (station mode), start with the device's
//                        serial number, progress in whole percent, result, a port
//                        problem that station mode reports and tries again, a
//                        station's end, a change of rate, a slow USB adapter
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StationResult {
  std::string port;
  bool ok = false;
  bool portUsable = true;         // false: the port could not be opened or set up
  bool syncAcknowledged = false;  // the device answered the sync with its acknowledgement
  uint32_t accepted = 0;          // data bytes the device accepted
  uint32_t size = 0;              // the image's size
  std::string step;               // where a failure stopped it ("echo", "open-port", ...)
  std::vector<std::string> messages;  // the desktop program's messages, in order, UTF-8
  std::string reason, cause, hint;    // a failure in the stations' words (stations/failure_reason.h)
  double seconds = 0;
  std::optional<int64_t> serial;  // the serial number written into this device's image
  uint8_t protocol = 1;           // 1 byte by byte, 2 in frames
  uint32_t baud = 9600;           // the rate the image went at
};

int ExitCodeOf(const StationResult& result);

// The messages as one line, joined by " / ".
std::string JoinedMessages(const std::vector<std::string>& messages);

unsigned Tenths(uint32_t accepted, uint32_t size);

// The byte where a failed flash stopped: the one it was sending, 0 before any was sent.
uint32_t StoppedAtByte(const StationResult& result);

class StationEvents {
 public:
  virtual void StationWaiting(const std::string& port) = 0;
  virtual void DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) = 0;
  virtual void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) = 0;
  virtual void DeviceFinished(const StationResult& result) = 0;
  virtual void PortProblem(const std::string& port, const std::string& message) = 0;
  virtual void StationEnded(const std::string& port) = 0;
  // Protocol 2's change of rate, from one to another, the failed ones too (taken false).
  virtual void RateChanged(const std::string& port, uint32_t from, uint32_t to, bool taken) = 0;
  // The port's USB adapter holds what the device sends for milliseconds: notice says
  // what that costs and where to change it. Told once per station, never a failure.
  virtual void PortLatency(const std::string& port, int milliseconds, const std::string& notice) = 0;

 protected:
  ~StationEvents() = default;
};
