// One JSON object per line and event, for line-control software.
#include <cmath>
#include <map>
#include <mutex>

#include <nlohmann/json.hpp>

#include "cli/output.h"
#include "records/crc32_text.h"
#include "toolkit/text_encoding.h"

namespace {

using json = nlohmann::ordered_json;  // "event" first, as written

// A serial number as a string of decimal digits: a JSON reader's double cannot hold
// every 64-bit number.
json Serial(const std::optional<int64_t>& serial) {
  return serial ? json(std::to_string(*serial)) : json(nullptr);
}

// The data bytes accepted over the whole attempt's time, the opening's included.
json BytesPerSecond(const StationResult& result) {
  return result.seconds > 0 ? json(std::llround(result.accepted / result.seconds)) : json(nullptr);
}

class JsonOutput : public Output {
 public:
  JsonOutput(FILE* out, const FirmwareImage& image, const PortLabels& labels)
      : out_(out), size_(static_cast<uint32_t>(image.bytes.size())), crc_(Crc32Text(image.crc32)),
        labels_(labels) {}

  void DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) override {
    std::lock_guard<std::mutex> lock(mutex_);
    tenths_[port] = 0;
    Write({{"event", "start"}, {"port", DisplayText(port)}, {"label", Label(port)}, {"size", size_}, {"crc32", crc_},
           {"serial", Serial(serial)}});
  }

  void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned tenths = Tenths(accepted, size);
    if (tenths <= tenths_[port]) return;
    tenths_[port] = tenths;
    Write({{"event", "progress"}, {"port", DisplayText(port)}, {"label", Label(port)}, {"bytes", accepted}, {"size", size},
           {"percent", tenths * 10}});
  }

  void DeviceFinished(const StationResult& result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    json stopped = nullptr, at = nullptr, reason = nullptr, cause = nullptr, hint = nullptr;
    if (!result.ok) stopped = result.step, at = StoppedAtByte(result), reason = result.reason;
    if (!result.cause.empty()) cause = result.cause;
    if (!result.hint.empty()) hint = result.hint;
    Write({{"event", "result"}, {"port", DisplayText(result.port)}, {"label", Label(result.port)}, {"ok", result.ok},
           {"bytes", result.accepted}, {"size", result.size}, {"step", stopped}, {"byte", at},
           {"seconds", result.seconds}, {"sync_acknowledged", result.syncAcknowledged},
           {"messages", result.messages}, {"reason", reason}, {"cause", cause}, {"hint", hint},
           {"crc32", crc_}, {"serial", Serial(result.serial)}, {"protocol", result.protocol},
           {"baud", result.baud}, {"bytes_per_s", BytesPerSecond(result)}});
  }

  void RateChanged(const std::string& port, uint32_t from, uint32_t to, bool taken) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "rate"}, {"port", DisplayText(port)}, {"label", Label(port)}, {"from", from}, {"to", to},
           {"taken", taken}});
  }

  void PortLatency(const std::string& port, int milliseconds, const std::string& notice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "latency"}, {"port", DisplayText(port)}, {"label", Label(port)},
           {"latency_ms", milliseconds}, {"message", notice}});
  }

  void PortProblem(const std::string& port, const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "port"}, {"port", DisplayText(port)}, {"label", Label(port)}, {"message", message}, {"retrying", true}});
  }

  void StoreDown(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "store"}, {"ok", false}, {"message", message}});
  }

  void StoreBack(uint64_t delivered) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "store"}, {"ok", true}, {"delivered", delivered}});
  }

  void SerialsUsedUp(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "serials"}, {"ok", false}, {"message", message}});
  }

  void ListLow(const std::string& list, int64_t left) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "list"}, {"name", DisplayText(list)}, {"left", left}});
  }

  void ScrubFailed(const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "scrub"}, {"ok", false}, {"message", message}});
  }

  void JobStarted(const std::string& path, const std::string& sha256) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "job"}, {"path", DisplayText(path)}, {"sha256", sha256}});
  }

  void GeneratorFailed(const std::string& port, const std::string& message, bool retrying) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "generator"}, {"port", DisplayText(port)}, {"ok", false}, {"message", message},
           {"retrying", retrying}});
  }

  void GeneratorUnused(uint64_t outputs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Write({{"event", "generator"}, {"unused", outputs}});
  }

  void Summary(const std::vector<StationTally>& stations, int exitCode,
               std::optional<uint64_t> spooled) override {
    std::lock_guard<std::mutex> lock(mutex_);
    json each = json::array();
    unsigned passed = 0, failed = 0;
    for (const StationTally& station : stations) {
      passed += station.passed;
      failed += station.failed;
      each.push_back({{"port", DisplayText(station.port)}, {"label", Label(station.port)}, {"passed", station.passed},
                      {"failed", station.failed}});
    }
    json summary = {{"event", "summary"}, {"passed", passed}, {"failed", failed}, {"stations", each}};
    if (spooled) summary["spooled"] = *spooled;
    summary["exit_code"] = exitCode;
    Write(summary);
  }

 private:
  void Write(const json& event) {
    // Replacement characters instead of a failure, should any text not be UTF-8.
    const std::string line = event.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
  }

  // A station's label, null without one.
  json Label(const std::string& port) const {
    const std::string label = LabelOf(labels_, port);
    return label.empty() ? json(nullptr) : json(label);
  }

  FILE* out_;
  uint32_t size_;
  std::string crc_;
  const PortLabels labels_;
  std::mutex mutex_;
  std::map<std::string, unsigned> tenths_;
};

}  // namespace

std::unique_ptr<Output> MakeJsonOutput(FILE* out, const FirmwareImage& image, const PortLabels& labels) {
  return std::make_unique<JsonOutput>(out, image, labels);
}
