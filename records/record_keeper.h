// What the stations ask of the records: begin a device's attempt (taking its serial
// number), complete it, and keep in the spool whatever the store cannot take until it
// can. One keeper per run; one session per station thread, each with its own connection.
//
//   RecordKeeper::Open(error)         opens the store and the spool, and delivers what
//                                     waits in the spool for this store first; false
//                                     with a reason when either cannot be opened
//   RecordKeeper::Session()           a station's own connection to the store
//   RecordKeeper::BlockExhausted()    whether a station found a counter's block (the
//                                     serial numbers', or a job's) or a list used up, and
//   RecordKeeper::ExhaustedReason()   which
//   RecordKeeper::EndRun()            the run's end: tries once more to deliver what
//                                     waits in the spool, leaves no copy of a given secret
//                                     item in the store's files (RecordStore::Scrub), and
//                                     returns the records still waiting in the spool
//   KeeperSession::AwaitStore(stop)   with draws: returns once the store answers (false
//                                     when stopped first); without: at once
//   KeeperSession::Begin(record)      writes the attempt as interrupted; with draws takes
//                                     each counter's and list's next value into the
//                                     record. Without draws a store that cannot be
//                                     reached gets the record spooled instead
//   KeeperSession::Complete(record)   writes the completed attempt, in the store or the
//                                     spool, committed when it returns: only then may its
//                                     result be reported
//   StoreEvents                       the store's problem, told once while it lasts, and
//                                     its return with the records delivered from the
//                                     spool; and what the keeper's openings tell
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "records/record_spool.h"
#include "records/record_store.h"

class StopRequest;

class StoreEvents : public OpenEvents {
 public:
  virtual void StoreDown(const std::string& message) = 0;
  virtual void StoreBack(uint64_t delivered) = 0;
  // A list fell below a tenth of its items or below 100 left: told once per list and run.
  virtual void ListLow(const std::string& list, int64_t left) = 0;
  // The run's end could not clear the old copies of the secret items given (a checkpoint
  // or a vacuum failed): they stay in the store's files until a later run's end clears them.
  virtual void ScrubFailed(const std::string& message) = 0;

 protected:
  ~StoreEvents() = default;
};

class RecordKeeper;

class KeeperSession {
 public:
  bool AwaitStore(const StopRequest& stop);
  BeginResult Begin(DeviceRecord& record);
  void Complete(const DeviceRecord& record);

 private:
  friend class RecordKeeper;
  explicit KeeperSession(RecordKeeper& keeper) : keeper_(keeper) {}
  bool Connected();
  void WarnLowLists(const DeviceRecord& record);

  RecordKeeper& keeper_;
  std::unique_ptr<RecordStore> store_;
};

class RecordKeeper {
 public:
  RecordKeeper(std::string target, std::string spoolPath, std::optional<AttemptDraws> draws,
               StoreEvents& events);
  ~RecordKeeper();
  RecordKeeper(const RecordKeeper&) = delete;
  RecordKeeper& operator=(const RecordKeeper&) = delete;

  bool Open(std::string& error);
  std::unique_ptr<KeeperSession> Session();
  bool BlockExhausted() const { return exhausted_.load(); }
  std::string ExhaustedReason();
  uint64_t EndRun();

 private:
  void DeliverSpool();
  void Scrub();
  friend class KeeperSession;
  bool Down();
  void Spool(const DeviceRecord& record);
  void StoreFailed(const std::string& error);
  void Recover();  // the recovery thread: pings until the store answers, then delivers

  const std::string target_;
  const std::string spoolPath_;
  const std::optional<AttemptDraws> draws_;
  StoreEvents& events_;
  RecordSpool spool_;
  std::atomic<bool> exhausted_{false};
  std::string exhaustedReason_;         // guarded by mutex_
  std::set<std::string> listsWarned_;   // guarded by mutex_

  std::mutex mutex_;  // guards down_, stopping_, and the recovery thread's start
  std::condition_variable changed_;
  bool down_ = false;
  bool stopping_ = false;
  std::thread recovery_;
};
