#include "device/port_probe.h"

#include <chrono>
#include <thread>

#include "device/download_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting ports are looked at: a small share of the handshake's time.
constexpr auto kLookInterval = std::chrono::milliseconds(1);

}  // namespace

std::vector<ProbedPort> ProbePorts(const std::vector<std::string>& paths, const StopRequest* stop,
                                   bool firstWins) {
  Unreported unreported;  // a port that does not open is no candidate, and no failure
  std::vector<ProbedPort> waiting;
  for (const std::string& path : paths) {
    OwnedPort port(OpenPort(path, unreported, stop));
    if (port != nullptr) waiting.push_back({path, std::move(port)});
  }
  for (ProbedPort& candidate : waiting)
    if (!SendByte(candidate.port.get(), protocol::kSync, unreported)) candidate.port.reset();

  std::vector<ProbedPort> answered;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(protocol::kHandshakeTimeoutMs);
  for (bool anyWaiting = true; anyWaiting && Clock::now() < deadline;) {
    anyWaiting = false;
    for (ProbedPort& candidate : waiting) {
      uint8_t answer = 0;
      if (candidate.port == nullptr) continue;
      if (!TakeArrivedByte(candidate.port.get(), answer)) {
        anyWaiting = true;
        continue;
      }
      // Only the acknowledgement makes a device of it; another byte, another thing.
      if (answer == protocol::kSyncAck) answered.push_back(std::move(candidate));
      candidate.port.reset();
      if (firstWins && !answered.empty()) return answered;
    }
    if (stop != nullptr && stop->Requested()) break;
    std::this_thread::sleep_for(kLookInterval);
  }
  return answered;
}

bool TakeLateAcknowledgement(SerialPort* port) {
  uint8_t byte = 0;
  while (TakeArrivedByte(port, byte))
    if (byte == protocol::kSyncAck) return true;
  return false;
}
