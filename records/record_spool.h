// The local spool: records that the store could not take, in a SQLite file of their own,
// kept in the order they came until they are delivered. Several stations and processes
// may share one spool file; each record belongs to the store it was meant for.
//
//   DefaultSpoolPath()              $XDG_STATE_HOME/fwflash/spool.sqlite, else
//                                   ~/.local/state/fwflash/spool.sqlite; on Windows
//                                   %LOCALAPPDATA%\fwflash\spool.sqlite
//   SpoolStoreKey(storeName)        what the spool files a store's records under: a
//                                   SQLite file by its absolute path ("sqlite:" or not),
//                                   so that a relative name means one file from any folder
//   RecordSpool::Open(path, store, error)
//                                   opens or makes the file (and its folder); store is
//                                   StoreTargetName of the target whose records it holds
//   RecordSpool::Add(record, error) keeps the record, durably; a record of the same id
//                                   already waiting is replaced in its place (a completed
//                                   one not by an interrupted copy)
//   RecordSpool::Waiting()          how many records wait for this store
//   RecordSpool::Deliver(store, delivered, error)
//                                   hands every waiting record to store.SaveRecord in
//                                   order, removing each once the store has it; stops
//                                   at the first failure. A record delivered but not yet
//                                   removed (a cut-off delivery) is delivered again,
//                                   and the store keeps it once, by its id
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "records/device_record.h"
#include "records/record_store.h"

std::string DefaultSpoolPath();
std::string SpoolStoreKey(const std::string& storeName);

class RecordSpool {
 public:
  RecordSpool();
  ~RecordSpool();
  RecordSpool(const RecordSpool&) = delete;
  RecordSpool& operator=(const RecordSpool&) = delete;

  bool Open(const std::string& path, const std::string& storeName, std::string& error);
  bool Add(const DeviceRecord& record, std::string& error);
  uint64_t Waiting();
  bool Deliver(RecordStore& store, uint64_t& delivered, std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::mutex mutex_;  // stations of one process share the spool
};
