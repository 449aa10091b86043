// The line's changes as the open pages hear of them. One thread with a store connection
// of its own waits for the store to change (SQLite's data_version, PostgreSQL's NOTIFY),
// reads the stations' rows and wakes every event stream at once: a hundred open pages
// cost one connection, not a hundred.
//
//   LiveChanges::Start(target)             starts the watching thread
//   LiveChanges::Stop()                    ends it, and every stream's wait
//   LiveChanges::Next(cursor, chunk, ms)   waits until there is news for the stream at
//                                          cursor, then gives it as Server-Sent Events
//                                          text: "stations" with every station's row
//                                          (as /api/stations), "records" when records
//                                          may have changed. An empty chunk after ms;
//                                          false once stopping
//   StreamCursor                           what one stream has sent so far
// Changes go out at most every 150 ms, together; a slow stream skips the states it had
// no time for and gets the latest.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "records/station_state.h"

struct StreamCursor {
  uint64_t stations = 0, records = 0;
};

class LiveChanges {
 public:
  LiveChanges() = default;
  ~LiveChanges() { Stop(); }
  LiveChanges(const LiveChanges&) = delete;
  LiveChanges& operator=(const LiveChanges&) = delete;

  void Start(const std::string& target);
  void Stop();
  bool Next(StreamCursor& cursor, std::string& chunk, unsigned timeoutMs);

 private:
  void Watch(std::string target);
  void Publish(const std::vector<StationState>& states, const std::string& newestRecord);
  void PauseAfterFailure();
  void Pause(std::chrono::steady_clock::time_point until);  // or until stopping

  std::thread watcher_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  uint64_t stationsVersion_ = 0, recordsVersion_ = 0;
  std::string stationsJson_;                 // the latest stations' list, as sent
  std::vector<StationState> lastStates_;     // what stationsJson_ was made from
  std::string lastNewestRecord_;             // the newest record's id and end
};
