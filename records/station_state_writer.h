// The stations' side of the line's live state: what each station is doing, written to
// the record store for the dashboard by a thread of its own over a connection of its
// own, so that a slow or unreachable store never holds up a conversation.
//
//   StationStateWriter(target)   the store to write to; its connection is opened at the
//                                first write (and again at the next write after a failure)
//   Post(state)                  hands a station's new state over and returns at once; a
//                                newer state of the same station (PC and port) replaces
//                                one not yet written
//   Stop()                       writes what was posted (one try each), then ends the
//                                thread; also at destruction
// While a station runs (any state but "stopped") its row is written again every
// kStationHeartbeatMs, with the time of writing, so that the dashboard can tell a
// silent station. A write that fails is dropped; the next one goes on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "records/record_store.h"
#include "records/station_state.h"

constexpr unsigned kStationHeartbeatMs = 2000;  // well inside the dashboard's 15 s of silence

class StationStateWriter {
 public:
  explicit StationStateWriter(std::string target);
  ~StationStateWriter();
  StationStateWriter(const StationStateWriter&) = delete;
  StationStateWriter& operator=(const StationStateWriter&) = delete;

  void Post(const StationState& state);
  void Stop();

 private:
  using Key = std::pair<std::string, std::string>;  // PC, port
  struct Written {
    StationState state;
    std::chrono::steady_clock::time_point at;
  };

  void Run();
  std::chrono::steady_clock::time_point NextHeartbeat() const;
  void Write(StationState state);

  const std::string target_;
  std::unique_ptr<RecordStore> store_;  // the writing thread's alone
  std::map<Key, Written> written_;      // the writing thread's alone
  std::mutex mutex_;
  std::condition_variable posted_;
  std::map<Key, StationState> pending_;
  bool stopping_ = false;
  std::thread thread_;
};
