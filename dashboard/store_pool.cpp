#include "dashboard/store_pool.h"

StoreLease::StoreLease(StorePool* pool, std::unique_ptr<RecordStore> store)
    : pool_(pool), store_(std::move(store)) {}

StoreLease::~StoreLease() {
  if (store_) pool_->GiveBack(std::move(store_));
}

StoreLease StorePool::Borrow(std::string& error) {
  std::unique_lock<std::mutex> lock(mutex_);
  returned_.wait(lock, [&] { return !idle_.empty() || open_ < limit_; });
  if (!idle_.empty()) {
    std::unique_ptr<RecordStore> store = std::move(idle_.back());
    idle_.pop_back();
    return StoreLease(this, std::move(store));
  }
  ++open_;
  lock.unlock();  // opening may take a server's time-out; others go on meanwhile
  std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error);
  if (!store) {
    lock.lock();
    --open_;
    returned_.notify_one();
  }
  return StoreLease(this, std::move(store));
}

void StorePool::GiveBack(std::unique_ptr<RecordStore> store) {
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(store));
  returned_.notify_one();
}
