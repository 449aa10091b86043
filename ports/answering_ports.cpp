#include "ports/answering_ports.h"

#include <chrono>
#include <thread>

#include "device/download_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting ports are looked at: a small share of the answers' time.
constexpr auto kLookInterval = std::chrono::milliseconds(1);

// Sends the byte to every port still waiting; a port that cannot take it is dropped.
void SendToWaiting(std::vector<AnsweringPort>& waiting, uint8_t byte) {
  Unreported unreported;
  for (AnsweringPort& candidate : waiting)
    if (candidate.port != nullptr && !SendByte(candidate.port.get(), byte, unreported)) candidate.port.reset();
}

// Looks at the waiting ports until each has answered, the time is up or the stop request
// is made; answered(candidate) takes a port's answer, true once it has come (it may
// close a port whose answer makes it no device). False when
// firstWins ended the search.
template <typename Answered>
bool AwaitAnswers(std::vector<AnsweringPort>& waiting, std::vector<AnsweringPort>& found, unsigned ms,
                  const StopRequest* stop, bool firstWins, Answered answered) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (bool anyWaiting = true; anyWaiting && Clock::now() < deadline;) {
    anyWaiting = false;
    for (AnsweringPort& candidate : waiting) {
      if (candidate.port == nullptr) continue;
      if (!answered(candidate)) {
        anyWaiting = anyWaiting || candidate.port != nullptr;  // answered(…) drops a port that said something else
        continue;
      }
      found.push_back(std::move(candidate));
      candidate.port.reset();
      if (firstWins) return false;
    }
    if (stop != nullptr && stop->Requested()) break;
    std::this_thread::sleep_for(kLookInterval);
  }
  return true;
}

}  // namespace

std::vector<AnsweringPort> FindAnsweringPorts(const std::vector<std::string>& paths, bool probe, bool sync,
                                              const StopRequest* stop, bool firstWins) {
  std::vector<AnsweringPort> found;
  Unreported unreported;  // a port that does not open is no candidate, and no failure
  std::vector<AnsweringPort> waiting;
  for (const std::string& path : paths) {
    OwnedPort port(OpenPort(path, unreported, stop));
    if (port != nullptr) waiting.push_back({path, std::move(port), false, {}});
  }
  if (probe) {
    SendToWaiting(waiting, frames::kProbe);
    const bool goOn = AwaitAnswers(waiting, found, frames::kProbeAnswerMs, stop, firstWins, [](AnsweringPort& candidate) {
      return candidate.framed = TakeLateCapabilities(candidate.port.get(), candidate.caps);
    });
    if (!goOn || !sync || (stop != nullptr && stop->Requested())) return found;
  }
  SendToWaiting(waiting, protocol::kSync);
  if (probe) {
    // A capability frame that comes now answered the probe late; the device heard the
    // sync after it, and its acknowledgement follows.
    AwaitAnswers(waiting, found, protocol::kHandshakeTimeoutMs, stop, firstWins, [](AnsweringPort& candidate) {
      return TakeLateAnswer(candidate.port.get(), candidate.caps) == LateAnswer::Acknowledgement;
    });
    return found;
  }
  // Only the acknowledgement makes a device of it; another byte, another thing.
  AwaitAnswers(waiting, found, protocol::kHandshakeTimeoutMs, stop, firstWins, [](AnsweringPort& candidate) {
    uint8_t answer = 0;
    if (!TakeArrivedByte(candidate.port.get(), answer)) return false;
    if (answer == protocol::kSyncAck) return true;
    candidate.port.reset();
    return false;
  });
  return found;
}
