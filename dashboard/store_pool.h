// Connections to the record store for the server's requests. One RecordStore serves one
// thread at a time, so a request borrows one and gives it back. Connections are opened
// when first needed, up to a limit; a request waits while all are lent.
//
//   StorePool(target, limit)     the store to open, and at most limit connections
//   StorePool::Borrow(error)     a lease on a connection; an empty lease, with the reason,
//                                when none could be opened
//   StoreLease                   the connection (->), given back when the lease ends
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/record_store.h"

class StorePool;

class StoreLease {
 public:
  StoreLease(StorePool* pool, std::unique_ptr<RecordStore> store);
  StoreLease(StoreLease&&) = default;
  ~StoreLease();
  explicit operator bool() const { return store_ != nullptr; }
  RecordStore* operator->() const { return store_.get(); }
  RecordStore& operator*() const { return *store_; }

 private:
  StorePool* pool_;
  std::unique_ptr<RecordStore> store_;
};

class StorePool {
 public:
  StorePool(std::string target, size_t limit) : target_(std::move(target)), limit_(limit) {}
  StoreLease Borrow(std::string& error);

 private:
  friend class StoreLease;
  void GiveBack(std::unique_ptr<RecordStore> store);

  const std::string target_;
  const size_t limit_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<RecordStore>> idle_;
  size_t open_ = 0;  // idle and lent
};
