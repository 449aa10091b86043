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
//                                          (as /api/stations) for a new stream or when
//                                          stations came or went; else "changes" with
//                                          only the rows that changed since the
//                                          stream's last news; "records" when records
//                                          may have changed; "clock" after ms without
//                                          news. Each with "now_ms" and "read_ms", the
//                                          last time the store's rows were read. False
//                                          once stopping
//   StreamCursor                           what one stream has sent so far
// A station's row has changed when anything but its time of writing has: a heartbeat
// alone sends nothing, while its falling silent (no longer "running", looked at every
// second) does. Changes go out at most every 150 ms, together; a slow stream skips the
// states it had no time for and gets the latest.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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
  using Key = std::pair<std::string, std::string>;  // PC, port
  struct Row {
    uint64_t version;     // stationsVersion_ when it last changed
    std::string content;  // what is compared: the row without its time of writing
    std::string json;     // what is sent
  };

  void Watch(std::string target);
  void Publish(const std::vector<StationState>& states, const std::string& newestRecord);
  std::string RowsSince(uint64_t version) const;  // a JSON array; every row for 0
  void PauseAfterFailure();
  void Pause(std::chrono::steady_clock::time_point until);  // or until stopping

  std::thread watcher_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  uint64_t stationsVersion_ = 0, recordsVersion_ = 0;
  uint64_t listVersion_ = 0;                 // when stations last came or went
  int64_t readMs_ = 0;                       // UTC: the stations' rows last read
  std::map<Key, Row> rows_;
  std::vector<StationState> lastStates_;     // what rows_ was made from
  std::string lastNewestRecord_;             // the newest record's id and end
};
