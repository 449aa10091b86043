// Result lines for a person: a live progress line per station on a terminal, plain lines
// elsewhere (a log file or a pipe gets no carriage returns and no escape codes).
#include <map>
#include <mutex>
#include <string>

#include "stations/failure_reason.h"
#include "cli/output.h"
#include "toolkit/text_encoding.h"

namespace {

std::string Format(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string Counted(uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

namespace {

std::string RateChangeText(uint32_t from, uint32_t to, bool taken) {
  const std::string change = std::to_string(from) + " to " + std::to_string(to) + " baud";
  return taken ? "rate " + change : "rate " + change + " not taken";
}

std::string ResultLine(const StationResult& result, const std::string& station) {
  const std::string port = DisplayText(station);
  const std::string size = std::to_string(result.size);
  const std::string serial = result.serial ? ", serial " + std::to_string(*result.serial) : "";
  if (!result.ok) {
    return port + ": failed at byte " + std::to_string(StoppedAtByte(result)) + " of " + size +
           serial + ": " + ReasonWithHint(result);
  }
  std::string line = port + ": ok, " + size + " bytes in " + Format("%.2f", result.seconds) + " s" + serial;
  if (result.protocol != 1) line += " (protocol " + std::to_string(result.protocol) + ", " + std::to_string(result.baud) + " baud)";
  if (!result.syncAcknowledged) line += " (the sync was not acknowledged: " + JoinedMessages(result.messages) + ")";
  return line;
}

class TextOutput : public Output {
 public:
  TextOutput(FILE* out, bool terminal, const PortLabels& labels)
      : out_(out), terminal_(terminal), labels_(labels) {}

  void DeviceStarted(const std::string& port, const std::optional<int64_t>&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_[port] = 0;
    if (terminal_) Write("");
  }

  void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned percent = static_cast<unsigned>(uint64_t{accepted} * 100 / size);
    if (terminal_) {
      shown_[port] = percent;
      Write("");
    } else if (Tenths(accepted, size) > shown_[port] / 10 && percent < 100) {
      shown_[port] = Tenths(accepted, size) * 10;
      Write(Name(port) + ": " + std::to_string(shown_[port]) + " % (" +
            std::to_string(accepted) + " of " + std::to_string(size) + " bytes)");
    }
  }

  void DeviceFinished(const StationResult& result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.erase(result.port);
    Write(ResultLine(result, StationName(labels_, result.port)));
  }

  void PortProblem(const std::string& port, const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(Name(port) + ": cannot use the port: " + message + "; trying again");
  }

  void RateChanged(const std::string& port, uint32_t from, uint32_t to, bool taken) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(Name(port) + ": " + RateChangeText(from, to, taken));
  }

  void PortLatency(const std::string& port, int, const std::string& notice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(Name(port) + ": " + notice);
  }

  void StoreDown(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(message + "; records wait in the spool until the store answers");
  }

  void StoreBack(uint64_t delivered) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write("the record store answers again; " + Counted(delivered, "spooled record") + " delivered");
  }

  void SerialsUsedUp(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(message);
  }

  void ListLow(const std::string& list, int64_t left) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write("the list " + list + " is low: " + Counted(static_cast<uint64_t>(left), "item") + " left");
  }

  void ScrubFailed(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(message + "; the old copies of the secret items given stay in the store's files "
          "until a later run's end clears them");
  }

  void JobStarted(const std::string& path, const std::string& sha256) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write("job " + DisplayText(path) + ", SHA-256 " + sha256);
  }

  void GeneratorFailed(const std::string& port, const std::string& message, bool retrying) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(DisplayText(port) + ": " + message +
          (retrying ? "; no device is taken until it works, trying again every 5 s" : "; no device was started"));
  }

  void GeneratorUnused(uint64_t outputs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(Counted(outputs, "generated output") + " not sent to a device, dropped");
  }

  void Summary(const std::vector<StationTally>& stations, int, std::optional<uint64_t> spooled) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.clear();
    unsigned passed = 0, failed = 0;
    std::string each;
    for (const StationTally& station : stations) {
      passed += station.passed;
      failed += station.failed;
      each += (each.empty() ? "" : "; ") + Name(station.port) + ": " +
              std::to_string(station.passed) + " passed, " + std::to_string(station.failed) + " failed";
    }
    std::string line = "summary: " + std::to_string(passed) + " passed, " + std::to_string(failed) + " failed";
    if (stations.size() > 1) line += " (" + each + ")";
    if (spooled.value_or(0) > 0) {
      line += "; " + Counted(*spooled, "record") + (*spooled == 1 ? " waits" : " wait") + " in the spool";
    }
    Write(line);
  }

 private:
  // A line of its own (none when empty). On a terminal the live lines, one per running
  // station, are drawn anew below it: the cursor goes back to their first line, and what
  // was there is cleared.
  void Write(const std::string& line) {
    std::string text;
    if (terminal_ && drawn_ > 0) text += "\033[" + std::to_string(drawn_) + "F";
    if (terminal_) text += "\033[J";
    if (!line.empty()) text += line + "\n";
    if (terminal_) {
      for (const auto& [port, percent] : shown_)
        text += Name(port) + ": " + std::to_string(percent) + " %\n";
      drawn_ = shown_.size();
    }
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
  }

  std::string Name(const std::string& port) const { return DisplayText(StationName(labels_, port)); }

  FILE* out_;
  bool terminal_;
  const PortLabels labels_;
  std::mutex mutex_;
  std::map<std::string, unsigned> shown_;  // running stations: percent shown
  size_t drawn_ = 0;                        // live lines on the terminal now
};

}  // namespace

std::unique_ptr<Output> MakeTextOutput(FILE* out, bool terminal, const FirmwareImage&,
                                       const PortLabels& labels) {
  return std::make_unique<TextOutput>(out, terminal, labels);
}
