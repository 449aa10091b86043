// The record store on a PostgreSQL server that the PCs of a line share.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "records/postgres_db.h"
#include "records/postgres_draws.h"
#include "records/postgres_schema.h"
#include "records/postgres_uri.h"
#include "records/kept_counts.h"
#include "records/record_columns.h"
#include "records/record_messages.h"
#include "records/store_engines.h"

namespace {

// Watchers (WaitForChange) listen here; every record and station write notifies it.
constexpr char kChannel[] = "fwflash_changes";

const std::string& InsertRecordSql() {
  static const std::string sql =
      "INSERT INTO fwflash_records (" + RecordColumnNames() + ") VALUES (" + RecordValuePlaces('$', 1) + ")";
  return sql;
}

constexpr char kNotifySql[] = "SELECT pg_notify('fwflash_changes', '')";

// One statement, so one round trip: the upsert and the notice commit together. A
// completed attempt is never replaced by an interrupted one of the same id, so that a
// late delivery of an older copy cannot undo a device's result.
const std::string& SaveRecordSql() {
  static const std::string sql =
      "WITH saved AS (INSERT INTO fwflash_records (" + RecordColumnNames() + ") VALUES (" +
      RecordValuePlaces('$', 1) + ") ON CONFLICT (id) DO UPDATE SET " + RecordUpdates() +
      " WHERE excluded.end_ms IS NOT NULL OR fwflash_records.end_ms IS NULL RETURNING 1) " + kNotifySql;
  return sql;
}

constexpr size_t kPageRows = 1000;

constexpr char kRecordRangeSql[] = " FROM fwflash_records WHERE start_ms >= $1 AND start_ms < $2";

constexpr char kWriteStationSql[] = R"sql(
WITH written AS (
  INSERT INTO fwflash_stations
    (pc, port, state, percent, serial, step, message, firmware_crc32, updated_ms, label,
     progress_ms)
  VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)
  ON CONFLICT (pc, port) DO UPDATE SET state = excluded.state, percent = excluded.percent,
    serial = excluded.serial, step = excluded.step, message = excluded.message,
    firmware_crc32 = excluded.firmware_crc32, updated_ms = excluded.updated_ms,
    label = excluded.label, progress_ms = excluded.progress_ms
  RETURNING 1
)
SELECT pg_notify('fwflash_changes', '')
)sql";

std::vector<PgParam> RecordParams(const DeviceRecord& record) {
  return {PgText(record.id), PgInt(record.startMs), PgOptionalInt(record.endMs),
          PgText(record.pc), PgText(record.port), PgText(record.product),
          PgText(record.fwflashVersion), PgInt(record.firmwareSize), PgInt(record.firmwareCrc32),
          PgInt(record.imageCrc32), PgOptionalInt(record.serial), PgBool(record.ok),
          PgText(record.step), PgInt(record.byte), PgInt(record.bytes), PgDouble(record.seconds),
          PgBool(record.syncAcknowledged), PgText(EncodeMessages(record.messages)),
          PgText(record.jobSha256), PgText(record.fields), PgInt(record.protocol), PgInt(record.baud)};
}

class PostgresStore final : public RecordStore {
 public:
  bool Open(const std::string& uri, OpenEvents* events, std::string& error, OpenProblem& problem) {
    name_ = UriWithoutPassword(uri);
    if (!db_.Connect(uri, error, problem)) {
      error = "cannot connect to the record store " + name_ + ": " + error;
      return false;
    }
    if (MakePostgresSchema(db_, events, error, problem)) return true;
    error = "record store " + name_ + ": " + error;
    return false;
  }

  BeginResult BeginAttempt(DeviceRecord& record, const AttemptDraws* draws,
                           std::string& error) override {
    if (!ValidDraws(draws, error)) return BeginResult::Failed;
    std::string exhausted;
    DeviceRecord begun;
    const auto takeCounter = [&](const CounterDraw& counter, std::optional<int64_t>& value, std::string& why) {
      return PgTakeCounter(db_, draws->product, counter, value, why);
    };
    const auto takeItem = [&](const std::string& list, std::optional<std::string>& item, int64_t& left,
                              int64_t& items, std::string& why) {
      return PgTakeItem(db_, list, record.startMs, item, left, items, why);
    };
    const bool written = db_.Call([&](std::string& why) {
      exhausted.clear();
      begun = record;  // a retry after a lost connection draws afresh
      return db_.Transaction("BEGIN", [&](std::string& inner) {
        if (draws != nullptr && !DrawValues(*draws, begun, takeCounter, takeItem, exhausted, inner))
          return false;
        return db_.Exec(InsertRecordSql().c_str(), RecordParams(begun), inner).Ok() &&
               db_.Exec(kNotifySql, {}, inner).Ok();
      }, why);
    }, error);
    return BeginOutcome(written, exhausted, name_, begun, record, error);
  }

  bool SaveRecord(const DeviceRecord& record, std::string& error) override {
    const std::vector<PgParam> params = RecordParams(record);
    if (db_.Call([&](std::string& why) { return db_.Exec(SaveRecordSql().c_str(), params, why).Ok(); }, error))
      return true;
    error = StoreWriteReason(name_, error);
    return false;
  }

  bool Ping(std::string& error) override {
    if (db_.Call([&](std::string& why) { return db_.Exec("SELECT 1", {}, why).Ok(); }, error))
      return true;
    error = StoreReadReason(name_, error);
    return false;
  }

  // Read a page at a time, each after the last one's (start, id), so that a report over
  // a year neither holds every record in memory nor runs into the call's time limit.
  bool ReadRecords(const RecordQuery& query, const std::function<void(const DeviceRecord&)>& visit,
                   std::string& error) override {
    size_t left = query.limit;  // 0: no limit
    std::optional<DeviceRecord> last;
    for (;;) {
      std::vector<PgParam> params = {PgInt(query.sinceMs), PgInt(query.untilMs)};
      std::string sql = "SELECT " + RecordColumnNames() + kRecordRangeSql;
      if (query.failedOnly) sql += " AND NOT ok";
      if (query.serial) {
        params.push_back(PgInt(*query.serial));
        sql += " AND serial = $" + std::to_string(params.size());
      }
      if (last) {
        params.push_back(PgInt(last->startMs));
        params.push_back(PgText(last->id));
        sql += std::string(" AND (start_ms, id) ") + (query.newestFirst ? "<" : ">") + " ($" +
               std::to_string(params.size() - 1) + ", $" + std::to_string(params.size()) + ")";
      }
      sql += query.newestFirst ? " ORDER BY start_ms DESC, id DESC" : " ORDER BY start_ms, id";
      const size_t page = left == 0 ? kPageRows : std::min(left, kPageRows);
      params.push_back(PgInt(static_cast<int64_t>(page)));
      sql += " LIMIT $" + std::to_string(params.size());
      PgResult rows;
      if (!db_.Call([&](std::string& why) { return (rows = db_.Exec(sql.c_str(), params, why)).Ok(); },
                    error)) {
        error = StoreReadReason(name_, error);
        return false;
      }
      for (int row = 0; row < rows.Rows(); ++row) {
        last = RecordFromColumns(PgRow(rows, row), 0);
        visit(*last);
      }
      if (static_cast<size_t>(rows.Rows()) < page || (left != 0 && (left -= page) == 0)) return true;
    }
  }

  bool Summarize(int64_t sinceMs, int64_t untilMs, RecordSummary& summary, std::string& error,
                 bool hours) override {
    RecordSummary read;
    const bool done = db_.Call([&](std::string& outer) {
      read = RecordSummary();
      return db_.Transaction("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", [&](std::string& why) {
        return EachSummaryPart(hours, [&](SummaryPart part) {
          std::vector<PgParam> params;
          for (const int64_t bound : SummaryParams(part, sinceMs, untilMs)) params.push_back(PgInt(bound));
          const PgResult rows = db_.Exec(PostgresParams(SummarySql(part)).c_str(), params, why);
          if (!rows.Ok()) return false;
          for (int row = 0; row < rows.Rows(); ++row) ReadSummaryRow(part, PgRow(rows, row), read);
          return true;
        });
      }, outer);
    }, error);
    return KeepRead(done, read, summary, name_, error);
  }

  bool WriteStationState(const StationState& state, std::string& error) override {
    const std::vector<PgParam> params = {
        PgText(state.pc), PgText(state.port), PgText(state.state), PgInt(state.percent),
        PgOptionalInt(state.serial), PgText(state.step), PgText(state.message),
        PgInt(state.firmwareCrc32), PgInt(state.updatedMs), PgText(state.label),
        PgInt(state.progressMs)};
    if (db_.Call([&](std::string& why) { return db_.Exec(kWriteStationSql, params, why).Ok(); },
                 error))
      return true;
    error = StoreWriteReason(name_, error);
    return false;
  }

  bool ReadStationStates(std::vector<StationState>& states, std::string& error) override {
    PgResult rows;
    if (!db_.Call([&](std::string& why) { return (rows = db_.Exec(kReadStationsSql, {}, why)).Ok(); },
                  error)) {
      error = StoreReadReason(name_, error);
      return false;
    }
    states.clear();
    for (int row = 0; row < rows.Rows(); ++row)
      states.push_back(StationFromColumns(PgRow(rows, row)));
    return true;
  }

  // The first call starts listening, and a call that had to reconnect listens again:
  // both return at once as a change, since what changed before is not known.
  bool WaitForChange(unsigned timeoutMs, std::string& error, bool* changed) override {
    bool ignored;
    bool& found = changed != nullptr ? *changed : ignored;
    found = false;
    const uint64_t reconnections = db_.Reconnections();
    if (db_.Call([&](std::string& why) {
          if (!listening_) return found = listening_ = db_.Listen(kChannel, why);
          if (db_.Reconnections() != reconnections) return found = true;
          return db_.WaitForNotice(timeoutMs, found, why);
        }, error))
      return true;
    error = StoreReadReason(name_, error);
    return false;
  }

  bool ImportList(const ListImport& import, std::string& error) override {
    bool refused = false;
    if (db_.Call([&](std::string& why) {
          refused = false;
          return db_.Transaction("BEGIN", [&](std::string& inner) {
            return PgImportList(db_, import, refused, inner) && db_.Exec(kNotifySql, {}, inner).Ok();
          }, why);
        }, error))
      return true;
    if (!refused) error = StoreWriteReason(name_, error);
    return false;
  }

  bool ReadStock(int64_t sinceMs, int64_t untilMs, std::vector<ListInfo>& lists,
                 std::vector<CounterInfo>& counters, std::string& error) override {
    if (db_.Call([&](std::string& why) {
          lists.clear();
          counters.clear();
          return db_.Transaction("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", [&](std::string& inner) {
            return PgReadStock(db_, sinceMs, untilMs, lists, counters, inner);
          }, why);
        }, error))
      return true;
    error = StoreReadReason(name_, error);
    return false;
  }

  // A secret item replaced by its digest stays readable in its dead row version until
  // the table is vacuumed.
  bool Scrub(std::string& error) override {
    if (db_.Call([&](std::string& why) { return db_.Exec("VACUUM fwflash_list_items", {}, why).Ok(); }, error))
      return true;
    error = StoreWriteReason(name_, error);
    return false;
  }

 private:
  PgDb db_;
  std::string name_;
  bool listening_ = false;
};

}  // namespace

std::unique_ptr<RecordStore> OpenPostgresStore(const std::string& uri, std::string& error,
                                               OpenProblem& problem, OpenEvents* events) {
  auto store = std::make_unique<PostgresStore>();
  if (store->Open(uri, events, error, problem)) return store;
  return nullptr;
}
