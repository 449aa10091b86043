#include "stations/station.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "attempts/conversation.h"
#include "device/port_latency.h"
#include "stations/latency_notice.h"
#include "device/serial_port.h"
#include "device/stop_pause.h"
#include "stations/exit_codes.h"
#include "stations/failure_reason.h"
#include "texts/device_messages.h"
#include "texts/text_table.h"
#include "toolkit/text_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kPathPollMs = 100;       // a port path that is not there yet
constexpr unsigned kOpenRetryMs = 500;      // a port that is there but cannot be used
constexpr unsigned kSyncIntervalMs = 400;   // between quiet syncs, after their 100 ms wait
constexpr unsigned kDepartureCheckMs = 100;

// The desktop program's messages for the failures of one device, in order, and the hint
// for a port that is not there, which explains them.
class MessageCollector : public FailureReporter {
 public:
  explicit MessageCollector(const StationMode& mode) : missingHint_(mode.missingPortHint) {}
  void Report(const DeviceFailure& failure) override {
    messages.push_back(DisplayText(DeviceFailureText(failure)));
    steps.push_back(failure.step);
    failures.push_back(failure);
  }
  bool Saw(DeviceStep step) const { return std::count(steps.begin(), steps.end(), step) > 0; }
  std::string Joined() const { return JoinedMessages(messages); }
  void Explain(StationResult& result) const { ExplainResult(result, failures, missingHint_); }

  std::vector<std::string> messages;
  std::vector<DeviceStep> steps;
  std::vector<DeviceFailure> failures;

 private:
  std::string missingHint_;
};

// Tells the station's progress in whole percent, not once per byte.
class PercentProgress : public TransferProgress {
 public:
  PercentProgress(const std::string& port, uint32_t size, StationEvents& events)
      : port_(port), size_(size), events_(events) {}
  void ByteAccepted() override { FrameAccepted(1); }
  // A frame is one step: its bytes at once.
  void FrameAccepted(uint32_t bytes) override {
    accepted += bytes;
    const uint32_t percent = static_cast<uint32_t>(uint64_t{accepted} * 100 / size_);
    if (percent == percent_) return;
    percent_ = percent;
    events_.DeviceProgress(port_, accepted, size_);
  }
  uint32_t accepted = 0;

 private:
  const std::string& port_;
  uint32_t size_, percent_ = 0;
  StationEvents& events_;
};

// Each change of rate, told as the station's.
class RateTeller : public RateEvents {
 public:
  RateTeller(const std::string& port, StationEvents& events) : port_(port), events_(events) {}
  void RateChanged(uint32_t from, uint32_t to, bool taken) override { events_.RateChanged(port_, from, to, taken); }

 private:
  const std::string& port_;
  StationEvents& events_;
};

// A USB adapter that holds the device's answers is told once per station: it sets the
// pace of every turn of the line.
void TellLatency(const std::string& path, StationEvents& events) {
  const int latency = PortLatencyMs(path);
  if (latency > kLatencyToldAboveMs) events.PortLatency(path, latency, LatencyNotice(path, latency));
}

// The result as the device's record keeps it.
AttemptOutcome OutcomeOf(const StationResult& result) {
  return {result.ok, result.step, StoppedAtByte(result), result.accepted, result.seconds,
          result.syncAcknowledged, result.messages, result.protocol, result.baud};
}

// One device from its handshake on: its attempt begun in the records (taking its serial
// number), the transfer of its image, the attempt completed, then the result told. False
// when the device is not taken: the block of serial numbers is used up.
bool Flash(SerialPort* port, const std::string& path, const FirmwareImage& image, const Opening& opening,
           bool acknowledged, MessageCollector& messages, Clock::time_point start,
           AttemptBooks& books, StationEvents& events, StationResult& result) {
  result = StationResult();
  result.port = path;
  result.size = static_cast<uint32_t>(image.bytes.size());
  result.syncAcknowledged = acknowledged;
  const BeginResult begun = books.Begin(path);
  if (begun == BeginResult::BlockExhausted) return false;
  result.serial = books.Serial();
  events.DeviceStarted(path, result.serial);
  PercentProgress progress(path, result.size, events);
  RateTeller rates(path, events);
  result.protocol = opening.Protocol();
  if (begun == BeginResult::Begun) {
    result.ok = SendImage(port, opening, books.Image().data(), result.size, image.maxBaud, progress, rates,
                          messages, result.baud, messages.Saw(DeviceStep::ReadByte));
  } else {  // serial numbers are on, and the store gave none: nothing is sent
    messages.messages.push_back(books.Problem());
    messages.steps.clear();
    result.step = "serial";
  }
  result.accepted = progress.accepted;
  if (!result.ok && !messages.steps.empty()) result.step = DeviceStepName(messages.steps.back());
  result.messages = messages.messages;
  messages.Explain(result);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  books.Complete(OutcomeOf(result));
  events.DeviceFinished(result);
  return true;
}

// The device on the port, once: its opening, then its flash. A port that cannot be
// opened ends it with its messages, and leaves no record.
bool FlashOnce(const std::string& path, const FirmwareImage& image, const StationMode& mode,
               AttemptBooks& books, StopRequest& stop, StationEvents& events, StationResult& result) {
  if (!books.MayTakeDevice(stop)) return false;
  const Clock::time_point start = Clock::now();
  MessageCollector messages(mode);
  OwnedPort port(OpenPort(path, messages, &stop));
  if (port == nullptr) {
    events.DeviceStarted(path, std::nullopt);
    result.port = path;
    result.size = static_cast<uint32_t>(image.bytes.size());
    result.portUsable = false;
    result.step = DeviceStepName(messages.steps.back());
    result.messages = messages.messages;
    result.messages.push_back(DisplayText(ReadTextSlot(kTextCannotInitCom1)));
    messages.Explain(result);
    events.DeviceFinished(result);
    return true;
  }
  TellLatency(path, events);
  Opening opening;
  // Protocol 1 goes on either way; protocol 2 without an answer only records its failure.
  const bool acknowledged = OpenConversation(port.get(), image.protocol, opening, messages);
  return Flash(port.get(), path, image, opening, acknowledged, messages, start, books, events, result);
}

// Opens the port once its path is there, then opens the conversation quietly until a
// device answers: the sync alone in protocol 1, the probe alone in 2, and under auto the
// probe, then the sync. An answer to the sync other than the acknowledgement still goes
// on to the transfer, with its message, as in the desktop program. An answer that came
// after its wait is an answer too: a second sync would reach the device as its first
// image byte.
bool AwaitDevice(const std::string& path, const FirmwareImage& image, const StationMode& mode,
                 StopRequest& stop,
                 StationEvents& events, AttemptBooks& books, OwnedPort& port, Opening& opening,
                 MessageCollector& messages, bool& latencyTold) {
  std::string reported;
  if (!books.PrepareAhead(stop)) return false;
  while (!stop.Requested()) {
    if (port == nullptr) {
      if (!PortPathPresent(path)) {
        Pause(stop, kPathPollMs);
        continue;
      }
      MessageCollector opened(mode);
      port.reset(OpenPort(path, opened, &stop));
      if (port == nullptr) {
        if (opened.Joined() != reported) events.PortProblem(path, reported = opened.Joined());
        Pause(stop, kOpenRetryMs);
        continue;
      }
      reported.clear();
      if (!latencyTold) TellLatency(path, events);
      latencyTold = true;
    }
    if (!books.MayTakeDevice(stop)) return false;  // no serial number to give it
    MessageCollector attempt(mode);
    if (TakeLateOpening(port.get(), image.protocol, opening) ||
        OpenConversation(port.get(), image.protocol, opening, attempt) || attempt.Saw(DeviceStep::SyncAck)) {
      messages = attempt;
      return true;
    }
    if (DeviceGone(port.get(), path))
      port.reset();
    else
      Pause(stop, kSyncIntervalMs);
  }
  return false;
}

// Nothing is sent to a flashed device: a sync would start a conversation whose next
// bytes it would take for an image. It has gone when its port says so.
void AwaitDeparture(const std::string& path, OwnedPort& port, const StopRequest& stop) {
  while (!stop.Requested() && !DeviceGone(port.get(), path)) Pause(stop, kDepartureCheckMs);
  port.reset();
}

void Count(StationTally& tally, const StationResult& result) {
  ++(result.ok ? tally.passed : tally.failed);
  tally.exitCode = std::max(tally.exitCode, ExitCodeOf(result));
}

// A station's end: told, and counted as failing when it stopped for want of serial
// numbers or of a generator's values.
StationTally Ended(StationTally tally, const StationRecords& records, const AttemptBooks& books,
                   StationEvents& events) {
  if (records.keeper != nullptr && records.keeper->BlockExhausted()) {
    tally.blockExhausted = true;
    tally.exitCode = std::max(tally.exitCode, kExitDeviceFailed);
  }
  if (books.GeneratorFailing()) tally.exitCode = std::max(tally.exitCode, kExitDeviceFailed);
  events.StationEnded(tally.port);
  return tally;
}

}  // namespace

StationTally RunStation(const std::string& path, const FirmwareImage& image, StationMode mode,
                        const StationRecords& records, StopRequest& stop, StationEvents& events) {
  StationTally tally;
  tally.port = path;
  AttemptBooks books(records, image, path, mode.wait);
  StationResult result;
  bool latencyTold = false;
  if (!mode.wait) {
    if (FlashOnce(path, image, mode, books, stop, events, result)) Count(tally, result);
  }
  for (unsigned done = 0; mode.wait && (mode.count == 0 || done < mode.count); ++done) {
    OwnedPort port;
    Opening opening;
    MessageCollector messages(mode);
    events.StationWaiting(path);
    if (!AwaitDevice(path, image, mode, stop, events, books, port, opening, messages, latencyTold)) break;
    if (mode.claim && !mode.claim()) break;
    const bool acknowledged = !messages.Saw(DeviceStep::SyncAck);
    if (!Flash(port.get(), path, image, opening, acknowledged, messages, Clock::now(), books, events, result)) break;
    Count(tally, result);
    AwaitDeparture(path, port, stop);
  }
  return Ended(tally, records, books, events);
}

StationTally FlashAnswered(OwnedPort port, const std::string& path, const Opening& opening,
                           const FirmwareImage& image, const StationMode& mode, const StationRecords& records,
                           StationEvents& events) {
  StationTally tally;
  tally.port = path;
  AttemptBooks books(records, image, path, false);  // a job with generators takes no --port auto
  MessageCollector messages(mode);
  StationResult result;
  TellLatency(path, events);
  if (Flash(port.get(), path, image, opening, true, messages, Clock::now(), books, events, result)) Count(tally, result);
  return Ended(tally, records, books, events);
}
