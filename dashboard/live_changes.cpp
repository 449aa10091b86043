#include "dashboard/live_changes.h"

#include <chrono>
#include <tuple>

#include "dashboard/api_json.h"
#include "records/record_store.h"
#include "records/record_time.h"

namespace {

constexpr unsigned kWaitForChangeMs = 1000;  // also how often silence is looked at
constexpr auto kRetryAfterFailure = std::chrono::seconds(1);
// At most this often a new state goes out: a busy line (PostgreSQL notifies every write)
// would otherwise send each page dozens of events a second.
constexpr auto kLeastGap = std::chrono::milliseconds(150);

// A device started or ended somewhere: its record was written.
bool DeviceChanged(const std::vector<StationState>& before, const std::vector<StationState>& now) {
  if (before.size() != now.size()) return true;
  for (size_t i = 0; i < now.size(); ++i) {
    if (std::tie(before[i].pc, before[i].port, before[i].state, before[i].serial) !=
        std::tie(now[i].pc, now[i].port, now[i].state, now[i].serial))
      return true;
  }
  return false;
}

std::string NewestRecord(RecordStore& store) {
  RecordQuery query;
  query.limit = 1;
  query.newestFirst = true;
  std::string newest, error;
  store.ReadRecords(query, [&](const DeviceRecord& record) {
    newest = record.id + (record.endMs ? std::to_string(*record.endMs) : "-");
  }, error);
  return newest;
}

}  // namespace

void LiveChanges::Start(const std::string& target) {
  watcher_ = std::thread(&LiveChanges::Watch, this, target);
}

void LiveChanges::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

bool LiveChanges::Next(StreamCursor& cursor, std::string& chunk, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return stopping_ || cursor.stations != stationsVersion_ || cursor.records != recordsVersion_;
  });
  if (stopping_) return false;
  chunk.clear();
  // The clock of sending and of the last reading of the store, so that the page ages
  // the rows by the server's time and tells a store that cannot be read.
  const std::string clocks = "{\"now_ms\":" + std::to_string(NowUtcMs()) + ",\"read_ms\":" +
                             std::to_string(readMs_);
  if (cursor.stations != stationsVersion_) {
    const bool whole = cursor.stations < listVersion_;
    chunk += std::string("event: ") + (whole ? "stations" : "changes") + "\ndata: " + clocks +
             ",\"stations\":" + RowsSince(whole ? 0 : cursor.stations) + "}\n\n";
  } else if (cursor.records == recordsVersion_ && readMs_ != 0) {
    chunk += "event: clock\ndata: " + clocks + "}\n\n";  // nothing new
  }
  if (cursor.records != recordsVersion_) chunk += "event: records\ndata: {}\n\n";
  cursor = {stationsVersion_, recordsVersion_};
  return true;
}

void LiveChanges::Watch(std::string target) {
  std::unique_ptr<RecordStore> store;
  std::string error;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    if (!store) store = OpenRecordStore(target, error);
    std::vector<StationState> states;
    if (!store || !store->ReadStationStates(states, error)) {
      PauseAfterFailure();  // a store that lost its server reconnects at its next call
      continue;
    }
    Publish(states, NewestRecord(*store));
    const auto gapEnds = std::chrono::steady_clock::now() + kLeastGap;
    if (!store->WaitForChange(kWaitForChangeMs, error)) PauseAfterFailure();
    Pause(gapEnds);  // the changes that come meanwhile go out together
  }
}

void LiveChanges::Publish(const std::vector<StationState>& states, const std::string& newestRecord) {
  nlohmann::json stations = StationsJson(states, NowUtcMs())["stations"];
  std::vector<Row> made;  // outside the lock: the streams wait for it
  for (nlohmann::json& row : stations) {
    std::string json = DumpJson(row);
    row.erase("updated");
    row.erase("updated_ms");
    made.push_back({0, DumpJson(row), std::move(json)});
  }
  std::lock_guard<std::mutex> lock(mutex_);
  readMs_ = NowUtcMs();
  const uint64_t version = stationsVersion_ + 1;
  bool listChanged = stationsVersion_ == 0 || states.size() != rows_.size(), changed = false;
  std::map<Key, Row> rows;
  for (size_t i = 0; i < states.size(); ++i) {
    Row next = std::move(made[i]);
    next.version = version;
    const auto before = rows_.find({states[i].pc, states[i].port});
    if (before == rows_.end()) listChanged = true;
    else if (before->second.content == next.content) next = before->second;  // as sent
    else changed = true;
    rows.emplace(Key{states[i].pc, states[i].port}, std::move(next));
  }
  const bool records = recordsVersion_ == 0 || newestRecord != lastNewestRecord_ ||
                       DeviceChanged(lastStates_, states);
  changed = changed || listChanged;
  if (!changed && !records) return;
  if (changed) {
    rows_ = std::move(rows);
    stationsVersion_ = version;
    if (listChanged) listVersion_ = version;
  }
  if (records) ++recordsVersion_;
  lastStates_ = states;
  lastNewestRecord_ = newestRecord;
  changed_.notify_all();
}

std::string LiveChanges::RowsSince(uint64_t version) const {
  std::string list = "[";
  for (const auto& entry : rows_) {
    if (entry.second.version <= version) continue;
    if (list.size() > 1) list += ",";
    list += entry.second.json;
  }
  return list + "]";
}

void LiveChanges::PauseAfterFailure() { Pause(std::chrono::steady_clock::now() + kRetryAfterFailure); }

void LiveChanges::Pause(std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_until(lock, until, [&] { return stopping_; });
}
