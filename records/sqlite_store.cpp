// The record store in a SQLite file that several processes on one PC share.
#include <algorithm>
#include <chrono>
#include <string>

#include <sqlite3.h>

#include "records/kept_counts.h"
#include "records/record_columns.h"
#include "records/sqlite_db.h"
#include "records/sqlite_draws.h"
#include "records/sqlite_record_row.h"
#include "records/sqlite_schema.h"
#include "records/store_engines.h"

namespace {

using Row = SqliteStatement::StepResult;

constexpr char kRecordRangeSql[] = " FROM fwflash_records WHERE start_ms >= ?1 AND start_ms < ?2";

constexpr char kWriteStationSql[] = R"sql(
INSERT OR REPLACE INTO fwflash_stations
  (pc, port, state, percent, serial, step, message, firmware_crc32, updated_ms, label, progress_ms)
VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)
)sql";

constexpr unsigned kChangePollMs = 200;

class SqliteStore final : public RecordStore {
 public:
  bool Open(const std::string& path, OpenEvents* events, std::string& error) {
    path_ = path;
    if (!db_.Open(path, error)) return false;
    if (!MakeSqliteSchema(db_, events, error)) {
      error = "record store " + path + ": " + error;
      return false;
    }
    return ReadDataVersion(dataVersion_, error);
  }

  bool Busy() const { return sqlite3_errcode(db_.Handle()) == SQLITE_BUSY; }

  BeginResult BeginAttempt(DeviceRecord& record, const AttemptDraws* draws,
                           std::string& error) override {
    if (!ValidDraws(draws, error)) return BeginResult::Failed;
    std::string exhausted;
    DeviceRecord begun = record;
    const auto takeCounter = [&](const CounterDraw& counter, std::optional<int64_t>& value, std::string& why) {
      return SqliteTakeCounter(db_, draws->product, counter, value, why);
    };
    const auto takeItem = [&](const std::string& list, std::optional<std::string>& item, int64_t& left,
                              int64_t& items, std::string& why) {
      return SqliteTakeItem(db_, list, record.startMs, item, left, items, why);
    };
    const bool written = db_.Transaction(true, [&](std::string& why) {
      if (draws != nullptr && !DrawValues(*draws, begun, takeCounter, takeItem, exhausted, why))
        return false;
      return InsertRecord(begun, "", why);
    }, error);
    const BeginResult result = BeginOutcome(written, exhausted, path_, begun, record, error);
    if (result == BeginResult::Begun) ownChange_ = true;
    return result;
  }

  bool SaveRecord(const DeviceRecord& record, std::string& error) override {
    const bool written = db_.Transaction(true, [&](std::string& why) {
      // A completed attempt is never replaced by an interrupted one of the same id, so
      // that a late delivery of an older copy cannot undo a device's result.
      const std::string upsert = std::string(" ON CONFLICT (id) DO UPDATE SET ") +
                                 RecordUpdates() +
                                 " WHERE excluded.end_ms IS NOT NULL OR fwflash_records.end_ms IS NULL";
      return InsertRecord(record, upsert, why);
    }, error);
    return Committed(written, error);
  }

  // The store answers when it can be written: in WAL mode a read is never blocked, so
  // a file that another program holds locked would otherwise pass, and the next device
  // would be synced only to wait out the lock without a number.
  bool Ping(std::string& error) override {
    const auto read = [this](std::string& failure) {
      SqliteStatement ping = db_.Prepare("SELECT count(*) FROM fwflash_schema", failure);
      return ping.Valid() && ping.Step(failure) == Row::Row;
    };
    if (db_.Transaction(true, read, error)) return true;
    error = StoreWriteReason(path_, error);
    return false;
  }

  bool ReadRecords(const RecordQuery& query, const std::function<void(const DeviceRecord&)>& visit,
                   std::string& error) override {
    std::string sql = "SELECT " + RecordColumnNames() + kRecordRangeSql;
    if (query.failedOnly) sql += " AND NOT ok";
    if (query.serial) sql += " AND serial = ?3";
    sql += query.newestFirst ? " ORDER BY start_ms DESC, id DESC" : " ORDER BY start_ms, id";
    sql += " LIMIT ?4";
    SqliteStatement select = db_.Prepare(sql.c_str(), error);
    if (!select.Valid()) {
      error = StoreReadReason(path_, error);
      return false;
    }
    select.BindInt(1, query.sinceMs);
    select.BindInt(2, query.untilMs);
    if (query.serial) select.BindInt(3, *query.serial);
    select.BindInt(4, query.limit == 0 ? -1 : static_cast<int64_t>(query.limit));
    Row step;
    while ((step = select.Step(error)) == Row::Row) visit(RecordFromColumns(select, 0));
    if (step == Row::Done) return true;
    error = StoreReadReason(path_, error);
    return false;
  }

  bool Summarize(int64_t sinceMs, int64_t untilMs, RecordSummary& summary, std::string& error,
                 bool hours) override {
    RecordSummary read;
    const bool done = db_.Transaction(false, [&](std::string& why) {
      return EachSummaryPart(hours, [&](SummaryPart part) {
        const auto visit = [&](const SqliteStatement& row) { ReadSummaryRow(part, row, read); };
        return EachRow(SummarySql(part), SummaryParams(part, sinceMs, untilMs), visit, why);
      });
    }, error);
    return KeepRead(done, read, summary, path_, error);
  }

  bool WriteStationState(const StationState& state, std::string& error) override {
    const bool written = db_.Transaction(true, [&](std::string& why) {
      SqliteStatement write = db_.Prepare(kWriteStationSql, why);
      if (!write.Valid()) return false;
      write.BindText(1, state.pc);
      write.BindText(2, state.port);
      write.BindText(3, state.state);
      write.BindInt(4, state.percent);
      write.BindOptionalInt(5, state.serial);
      write.BindText(6, state.step);
      write.BindText(7, state.message);
      write.BindInt(8, state.firmwareCrc32);
      write.BindInt(9, state.updatedMs);
      write.BindText(10, state.label);
      write.BindInt(11, state.progressMs);
      return write.Run(why);
    }, error);
    return Committed(written, error);
  }

  bool ReadStationStates(std::vector<StationState>& states, std::string& error) override {
    SqliteStatement select = db_.Prepare(kReadStationsSql, error);
    std::vector<StationState> read;
    Row step = select.Valid() ? Row::Row : Row::Failed;
    while (step == Row::Row && (step = select.Step(error)) == Row::Row)
      read.push_back(StationFromColumns(select));
    return KeepRead(step == Row::Done, read, states, path_, error);
  }

  // Another connection's commit changes PRAGMA data_version; this one's own writes do
  // not, so they are remembered.
  bool WaitForChange(unsigned timeoutMs, std::string& error, bool* changed) override {
    bool ignored;
    bool& found = changed != nullptr ? *changed : ignored;
    found = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int64_t version = 0;
      if (!ReadDataVersion(version, error)) {
        error = StoreReadReason(path_, error);
        return false;
      }
      if (ownChange_ || version != dataVersion_) {
        ownChange_ = false;
        dataVersion_ = version;
        found = true;
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return true;
      sqlite3_sleep(static_cast<int>(std::min<int64_t>(left, kChangePollMs)));
    }
  }

  bool ImportList(const ListImport& import, std::string& error) override {
    bool refused = false;
    const bool written = db_.Transaction(true, [&](std::string& why) {
      return SqliteImportList(db_, import, refused, why);
    }, error);
    if (!written && !refused) error = StoreWriteReason(path_, error);
    return Committed(written, error);
  }

  bool ReadStock(int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                 std::vector<CounterInfo>& counters, std::string& error) override {
    lists.clear();
    counters.clear();
    if (db_.Transaction(false, [&](std::string& why) {
          return SqliteReadStock(db_, sinceMs, untilMs, lists, counters, why);
        }, error))
      return true;
    error = StoreReadReason(path_, error);
    return false;
  }

  // Secret items' old values, replaced by their digests, may still be in the WAL's pages
  // until they are written back into the file (zeroed there by secure_delete).
  bool Scrub(std::string& error) override {
    if (db_.Exec("PRAGMA wal_checkpoint(TRUNCATE)", error)) return true;
    error = StoreWriteReason(path_, error);
    return false;
  }

 private:
  bool InsertRecord(const DeviceRecord& record, const std::string& suffix, std::string& error) {
    const std::string sql = "INSERT INTO fwflash_records (" + RecordColumnNames() +
                            ") VALUES (" + RecordValuePlaces('?', 1) + ")" + suffix;
    SqliteStatement* statement = db_.Cached(sql, error);
    if (statement == nullptr) return false;
    BindRecord(*statement, 1, record);
    const bool done = statement->Run(error);
    statement->Reset();  // holds nothing between devices
    return done;
  }

  bool EachRow(const char* sql, const std::vector<int64_t>& params,
               const std::function<void(const SqliteStatement&)>& visit, std::string& error) {
    SqliteStatement select = db_.Prepare(sql, error);
    if (!select.Valid()) return false;
    for (size_t n = 0; n < params.size(); ++n) select.BindInt(static_cast<int>(n + 1), params[n]);
    Row step;
    while ((step = select.Step(error)) == Row::Row) visit(select);
    return step == Row::Done;
  }

  bool ReadDataVersion(int64_t& version, std::string& error) {
    SqliteStatement pragma = db_.Prepare("PRAGMA data_version", error);
    if (!pragma.Valid() || pragma.Step(error) != Row::Row) return false;
    version = pragma.Int(0);
    return true;
  }

  // After a write transaction: its failure's reason, or the change noted for WaitForChange.
  bool Committed(bool written, std::string& error) {
    if (!written) {
      error = StoreWriteReason(path_, error);
      return false;
    }
    ownChange_ = true;
    return true;
  }

  SqliteDb db_;
  std::string path_;
  int64_t dataVersion_ = 0;
  bool ownChange_ = false;
};

}  // namespace

std::unique_ptr<RecordStore> OpenSqliteStore(const std::string& path, std::string& error,
                                             OpenProblem& problem, OpenEvents* events) {
  auto store = std::make_unique<SqliteStore>();
  problem = OpenProblem::None;
  if (store->Open(path, events, error)) return store;
  // A file locked longer than the busy time-out may be free later; any other failure
  // (no such folder, not a database, a newer schema) stays.
  problem = store->Busy() ? OpenProblem::Unreachable : OpenProblem::Refused;
  return nullptr;
}
