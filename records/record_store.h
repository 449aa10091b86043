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
//                                    With events, tells the filling of an older store's
//                                    kept counts, which its first opening does once
//   OpenEvents                       that filling: its start and each tenth done
//   (the target itself, its name as shown and its engine: records/store_target.h)
//
//   RecordStore::BeginAttempt        writes a new attempt as failed/"interrupted"; with
//                                    draws it takes each counter's and list's next value
//                                    (the serial counter's into record.serial, the
//                                    others' into record.drawn) in the same
//                                    transaction; a secret list's item is replaced by
//                                    its SHA-256 there too
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
//   RecordStore::ImportList          adds the items to the list (made when new), all or
//                                    none; refuses a list of another kind, length or
//                                    secrecy, and an item already in it, by its line
//   RecordStore::ReadStock           every list (with the items given in a start range)
//                                    and every counter
//   RecordStore::Scrub               leaves no copy of a given secret item in the store's
//                                    files: SQLite checkpoints its WAL, PostgreSQL
//                                    vacuums the list items
//
// One RecordStore is one connection: use it from one thread at a time. A store that
// has lost its server tries to reconnect at its next call. Every failure comes back as
// false with a one-line reason in error; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/device_record.h"
#include "records/station_state.h"
#include "records/store_target.h"

// A counter field: kept per product and field name. A device's value v uses v to
// v + step - 1, all within the block. The counter named kSerialFieldName gives the
// record's serial number.
constexpr int64_t kLargestCounterStep = int64_t{1} << 32;  // one limit: the job file and both engines
constexpr char kLargestCounterStepText[] = "2^32";

constexpr char kSerialFieldName[] = "serial";

struct CounterDraw {
  std::string field;
  int64_t first = 1;         // the first value when the counter is new
  bool firstGiven = false;   // given: moves an existing counter up to it, never down
  int64_t last = 0;          // the last value of the block
  int64_t step = 1;
};

// A list field: the list's next item not yet given.
struct ListDraw {
  std::string field, list;
};

// What each device draws from the store in its attempt's transaction: one product's
// counters and a job's lists.
struct AttemptDraws {
  std::string product;
  std::vector<CounterDraw> counters{};  // into record.serial (the serial's) or record.drawn
  std::vector<ListDraw> lists{};        // into record.drawn, as the items' text
  // Called once the values are drawn, before the record is written: fills its fields.
  std::function<void(DeviceRecord&)> describe{};
};

enum class BeginResult {
  Begun,           // written; record.serial and record.drawn set when draws were given
  BlockExhausted,  // a counter or a list has nothing left: nothing written
  Failed,          // the store could not be reached or written: nothing written
};

// A list of items imported into the store, each given to one device.
struct ListInfo {
  std::string name;
  std::string kind;          // "hex", "text" or "number"
  int64_t length = 0;        // hex: bytes; text: the most characters; number: 0
  bool secret = false;
  uint64_t items = 0, given = 0;
  uint64_t givenInRange = 0;  // given in the range asked for
};

// One import: the list as it must be, and its items in order, each with the SHA-256 (hex)
// that finds duplicates and replaces a secret item once given.
struct ListImport {
  ListInfo list;
  struct Item {
    std::string text, digest;
    size_t line = 0;         // in the file, for the refusal
  };
  std::vector<Item> items;
};

struct CounterInfo {
  std::string product, field;
  int64_t last = 0;          // the last value given (first - step while none was)
  // On the records of the range asked for: the lowest and the highest value by number,
  // each as its record shows it (decimal, 0x hex or a MAC address).
  std::optional<std::string> lowestInRange, highestInRange;
};

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  virtual BeginResult BeginAttempt(DeviceRecord& record, const AttemptDraws* draws,
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
  virtual bool ImportList(const ListImport& import, std::string& error) = 0;
  virtual bool ReadStock(int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                         std::vector<CounterInfo>& counters, std::string& error) = 0;
  virtual bool Scrub(std::string& error) = 0;
};

enum class OpenProblem { None, Unreachable, Refused };

// Told only for a store large enough that the filling takes a while.
class OpenEvents {
 public:
  virtual void CountingKept(uint64_t records) = 0;
  virtual void KeptCounted(int percent) = 0;

 protected:
  ~OpenEvents() = default;
};

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& target, std::string& error,
                                             OpenProblem* problem = nullptr,
                                             OpenEvents* events = nullptr);
