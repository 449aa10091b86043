#include "stations/station_state_events.h"

#include "records/record_time.h"

namespace {

// A station's state begun afresh: its key and firmware kept, the rest as given.
StationState Renewed(const StationState& old, const char* name, const std::optional<int64_t>& serial,
                     const std::string& message) {
  StationState state;
  state.pc = old.pc;
  state.port = old.port;
  state.firmwareCrc32 = old.firmwareCrc32;
  state.state = name;
  state.serial = serial;
  state.message = message;
  return state;
}

}  // namespace

template <typename Change>
void StationStatePoster::Update(const std::string& port, Change change) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = states_.find(port);
  if (found == states_.end()) {
    StationState fresh;
    fresh.pc = pc_;
    fresh.port = port;
    fresh.firmwareCrc32 = firmwareCrc32_;
    found = states_.emplace(port, fresh).first;
  }
  if (!change(found->second)) return;
  found->second.label = LabelOf(labels_, port);
  found->second.progressMs = NowUtcMs();
  writer_.Post(found->second);
}

void StationStatePoster::StationWaiting(const std::string& port) {
  Update(port, [](StationState& state) {
    if (state.state == "passed" || state.state == "failed") return false;  // shown until the next device
    state = Renewed(state, "waiting", std::nullopt, "");
    return true;
  });
}

void StationStatePoster::DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) {
  Update(port, [&](StationState& state) {
    state = Renewed(state, "flashing", serial, "");
    return true;
  });
}

void StationStatePoster::DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) {
  Update(port, [&](StationState& state) {
    const unsigned percent = Tenths(accepted, size) * 10;
    if (state.state != "flashing" || percent == state.percent) return false;
    state.percent = percent;
    return true;
  });
}

void StationStatePoster::DeviceFinished(const StationResult& result) {
  Update(result.port, [&](StationState& state) {
    state.state = !result.portUsable ? "port" : result.ok ? "passed" : "failed";
    state.serial = result.serial;
    state.step = result.ok ? "" : result.step;
    state.message = result.ok ? "" : JoinedMessages(result.messages);
    return true;
  });
}

void StationStatePoster::PortProblem(const std::string& port, const std::string& message) {
  Update(port, [&](StationState& state) {
    state = Renewed(state, "port", std::nullopt, message);
    return true;
  });
}

void StationStatePoster::StationEnded(const std::string& port) {
  Update(port, [](StationState& state) {
    state.state = "stopped";
    return true;
  });
}
