// The record store: one small interface, one file per engine (sqlite_store.cpp,
// postgres_store.cpp). Nothing above this header knows which engine it talks to.
//
//   OpenRecordStore(target, error)   "PATH" or "sqlite:PATH": a SQLite file, made when
//                                    missing; "postgresql://...": a PostgreSQL server.
//                                    Makes or checks the schema (under a lock, so that
//                                    processes starting at once on an empty store both
//                                    succeed). nullptr with a one-line reason, which
//                                    never holds a password
//                                    With problem, tells whether the server did not
//                                    answer (Unreachable: it may later) or the target
//                                    was refused (Refused: a bad file or URI, a
//                                    rejected login, a newer schema)
//   StoreTargetName(target)          the target as it may be shown: no password
//   IsPostgresTarget(target)         whether the target names a PostgreSQL server
//
//   RecordStore::BeginAttempt        writes a new attempt as failed/"interrupted"; with a
//                                    serial block it takes the product's next number
//                                    into record.serial in the same transaction
//   RecordStore::SaveRecord          inserts or replaces the record by its id, durably
//                                    committed when it returns true (a spooled record
//                                    delivered twice is still one record); a completed
//                                    record is never replaced by an interrupted copy
//   RecordStore::Ping                whether the store answers now
//   RecordStore::ReadRecords         the records a query selects, in its order
//   RecordStore::Summarize           the counts of the records in a start range, read
//                                    from the counts kept per hour and day but for the
//                                    partial hours at its ends; the per-hour figures only
//                                    when hours (they read every whole hour's counts)
//   RecordStore::WriteStationState  replaces a station's row
//   RecordStore::ReadStationStates   every station's row, by PC, then port
//   RecordStore::WaitForChange       returns when records or station rows may have
//                                    changed, or after timeoutMs (false on a failure);
//                                    with changed, tells which of the two it was
//
// One RecordStore is one connection: use it from one thread at a time. A store that
// has lost its server tries to reconnect at its next call. Every failure comes back as
// false with a one-line reason in error; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/device_record.h"
#include "records/station_state.h"

// A vendor's block of serial numbers for one product, for this run.
struct SerialBlock {
  std::string product;
  int64_t first = 1;         // the first number when the product's counter is new
  bool firstGiven = false;   // given: moves an existing counter up to it, never down
  int64_t last = 0;          // the last number of the block
};

enum class BeginResult {
  Begun,           // written; record.serial set when a block was given
  BlockExhausted,  // the block has no number left: nothing written
  Failed,          // the store could not be reached or written: nothing written
};

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  virtual BeginResult BeginAttempt(DeviceRecord& record, const SerialBlock* block,
                                   std::string& error) = 0;
  virtual bool SaveRecord(const DeviceRecord& record, std::string& error) = 0;
  virtual bool Ping(std::string& error) = 0;
  virtual bool ReadRecords(const RecordQuery& query,
                           const std::function<void(const DeviceRecord&)>& visit,
                           std::string& error) = 0;
  virtual bool Summarize(int64_t sinceMs, int64_t untilMs, RecordSummary& summary,
                         std::string& error, bool hours = true) = 0;
  virtual bool WriteStationState(const StationState& state, std::string& error) = 0;
  virtual bool ReadStationStates(std::vector<StationState>& states, std::string& error) = 0;
  virtual bool WaitForChange(unsigned timeoutMs, std::string& error,
                             bool* changed = nullptr) = 0;
};

enum class OpenProblem { None, Unreachable, Refused };

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& target, std::string& error,
                                             OpenProblem* problem = nullptr);
std::string StoreTargetName(const std::string& target);
bool IsPostgresTarget(const std::string& target);
