#include "records/record_keeper.h"

#include <chrono>

#include "device/stop_request.h"

namespace {

constexpr auto kRetryInterval = std::chrono::seconds(1);  // a store that is down, tried again
constexpr auto kStopCheck = std::chrono::milliseconds(100);

}  // namespace

bool KeeperSession::Connected() {
  if (store_ != nullptr) return true;
  std::string error;
  store_ = OpenRecordStore(keeper_.target_, error, nullptr, &keeper_.events_);
  if (store_ == nullptr) keeper_.StoreFailed(error);
  return store_ != nullptr;
}

bool KeeperSession::AwaitStore(const StopRequest& stop) {
  if (!keeper_.draws_) return true;
  while (!stop.Requested()) {
    {
      std::unique_lock<std::mutex> lock(keeper_.mutex_);
      if (keeper_.down_) {
        keeper_.changed_.wait_for(lock, kStopCheck);
        continue;
      }
    }
    std::string error;
    if (Connected() && store_->Ping(error)) return true;
    if (store_ != nullptr) keeper_.StoreFailed(error);
  }
  return false;
}

BeginResult KeeperSession::Begin(DeviceRecord& record) {
  const AttemptDraws* draws = keeper_.draws_ ? &*keeper_.draws_ : nullptr;
  if (!keeper_.Down() && Connected()) {
    std::string error;
    const BeginResult result = store_->BeginAttempt(record, draws, error);
    if (result == BeginResult::BlockExhausted) {
      std::lock_guard<std::mutex> lock(keeper_.mutex_);
      keeper_.exhaustedReason_ = error;
      keeper_.exhausted_ = true;
    }
    if (result == BeginResult::Begun) WarnLowLists(record);
    if (result != BeginResult::Failed) return result;
    keeper_.StoreFailed(error);
  }
  if (draws != nullptr) return BeginResult::Failed;  // drawn values come only from the store
  keeper_.Spool(record);
  return BeginResult::Begun;
}

void KeeperSession::WarnLowLists(const DeviceRecord& record) {
  for (const DrawnValue& drawn : record.drawn) {
    if (drawn.list.empty() || (drawn.left >= 100 && drawn.left * 10 >= drawn.items)) continue;
    {
      std::lock_guard<std::mutex> lock(keeper_.mutex_);
      if (!keeper_.listsWarned_.insert(drawn.list).second) continue;
    }
    keeper_.events_.ListLow(drawn.list, drawn.left);
  }
}

void KeeperSession::Complete(const DeviceRecord& record) {
  std::string error;
  if (!keeper_.Down() && Connected()) {
    if (store_->SaveRecord(record, error)) return;
    keeper_.StoreFailed(error);
  }
  keeper_.Spool(record);
}

RecordKeeper::RecordKeeper(std::string target, std::string spoolPath,
                           std::optional<AttemptDraws> draws, StoreEvents& events)
    : target_(std::move(target)), spoolPath_(std::move(spoolPath)), draws_(std::move(draws)),
      events_(events) {}

RecordKeeper::~RecordKeeper() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (recovery_.joinable()) recovery_.join();
}

bool RecordKeeper::Open(std::string& error) {
  OpenProblem problem = OpenProblem::None;
  std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error, &problem, &events_);
  if (store == nullptr && problem != OpenProblem::Unreachable) return false;
  if (!spool_.Open(spoolPath_, StoreTargetName(target_), error)) return false;
  if (store == nullptr) {
    StoreFailed(error);
    error.clear();
    return true;
  }
  uint64_t delivered = 0;
  std::string failure;
  if (!spool_.Deliver(*store, delivered, failure)) StoreFailed(failure);
  if (delivered > 0) events_.StoreBack(delivered);
  return true;
}

std::unique_ptr<KeeperSession> RecordKeeper::Session() {
  return std::unique_ptr<KeeperSession>(new KeeperSession(*this));
}

uint64_t RecordKeeper::EndRun() {
  DeliverSpool();
  Scrub();
  return spool_.Waiting();
}

void RecordKeeper::DeliverSpool() {
  if (spool_.Waiting() == 0) return;
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error, nullptr, &events_);
  uint64_t delivered = 0;
  if (store != nullptr) spool_.Deliver(*store, delivered, error);
  if (delivered > 0) events_.StoreBack(delivered);
}

std::string RecordKeeper::ExhaustedReason() {
  std::lock_guard<std::mutex> lock(mutex_);
  return exhaustedReason_;
}

void RecordKeeper::Scrub() {
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error, nullptr, &events_);
  if (store == nullptr || !store->Scrub(error)) events_.ScrubFailed(error);
}

bool RecordKeeper::Down() {
  std::lock_guard<std::mutex> lock(mutex_);
  return down_;
}

void RecordKeeper::Spool(const DeviceRecord& record) {
  // The record must be kept somewhere before its result is told: the spool is tried
  // until it takes it (a full disk may free up), unless the keeper is going away.
  std::string told;
  for (std::string error; !spool_.Add(record, error);) {
    if (error != told) events_.StoreDown("cannot keep the record of " + record.port + " in the spool: " + error);
    told = error;
    std::unique_lock<std::mutex> lock(mutex_);
    if (changed_.wait_for(lock, kRetryInterval, [this] { return stopping_; })) return;
  }
}

void RecordKeeper::StoreFailed(const std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (down_ || stopping_) return;
  down_ = true;
  events_.StoreDown(error);
  if (recovery_.joinable()) recovery_.join();  // the last recovery, which has ended
  recovery_ = std::thread(&RecordKeeper::Recover, this);
}

void RecordKeeper::Recover() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (changed_.wait_for(lock, kRetryInterval, [this] { return stopping_; })) return;
    }
    std::string error;
    std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error, nullptr, &events_);
    if (store == nullptr || !store->Ping(error)) continue;
    uint64_t delivered = 0, batch = 0;
    while (spool_.Deliver(*store, batch, error) && batch > 0) delivered += batch;
    if (spool_.Waiting() > 0) continue;  // the store failed again half-way
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (spool_.Waiting() > 0) continue;  // a station spooled one meanwhile
      down_ = false;
    }
    changed_.notify_all();
    events_.StoreBack(delivered);
    return;
  }
}
