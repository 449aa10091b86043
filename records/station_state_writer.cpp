#include "records/station_state_writer.h"

#include "records/record_time.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kHeartbeat = std::chrono::milliseconds(kStationHeartbeatMs);

}  // namespace

StationStateWriter::StationStateWriter(std::string target)
    : target_(std::move(target)), thread_(&StationStateWriter::Run, this) {}

StationStateWriter::~StationStateWriter() { Stop(); }

void StationStateWriter::Post(const StationState& state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_[{state.pc, state.port}] = state;
  }
  posted_.notify_one();
}

void StationStateWriter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  posted_.notify_one();
  if (thread_.joinable()) thread_.join();
}

Clock::time_point StationStateWriter::NextHeartbeat() const {
  Clock::time_point next = Clock::now() + std::chrono::hours(1);
  for (const auto& entry : written_) {
    if (entry.second.state.state != "stopped") next = std::min(next, entry.second.at + kHeartbeat);
  }
  return next;
}

void StationStateWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    posted_.wait_until(lock, NextHeartbeat(), [&] { return stopping_ || !pending_.empty(); });
    std::map<Key, StationState> posted;
    posted.swap(pending_);
    const bool stopping = stopping_;
    lock.unlock();
    for (const auto& entry : posted) Write(entry.second);
    const Clock::time_point now = Clock::now();
    for (auto& entry : written_) {
      if (entry.second.state.state != "stopped" && now - entry.second.at >= kHeartbeat)
        Write(entry.second.state);
    }
    lock.lock();
    if (stopping && pending_.empty()) return;
  }
}

void StationStateWriter::Write(StationState state) {
  written_[{state.pc, state.port}] = {state, Clock::now()};
  std::string error;
  if (!store_) store_ = OpenRecordStore(target_, error);
  if (!store_) return;  // dropped: the next state or heartbeat tries again
  state.updatedMs = NowUtcMs();
  store_->WriteStationState(state, error);  // a failure is dropped too
}
