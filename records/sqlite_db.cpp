#include "records/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

#include "records/system_error.h"

namespace {

constexpr int kBusyTimeoutMs = 5000;

}  // namespace

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    db_ = other.db_;
    statement_ = std::exchange(other.statement_, nullptr);
  }
  return *this;
}

void SqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

void SqliteStatement::BindInt(int n, int64_t value) { sqlite3_bind_int64(statement_, n, value); }

void SqliteStatement::BindOptionalInt(int n, const std::optional<int64_t>& value) {
  if (value)
    sqlite3_bind_int64(statement_, n, *value);
  else
    sqlite3_bind_null(statement_, n);
}

void SqliteStatement::BindDouble(int n, double value) { sqlite3_bind_double(statement_, n, value); }

void SqliteStatement::BindText(int n, const std::string& value) {
  sqlite3_bind_text(statement_, n, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

SqliteStatement::StepResult SqliteStatement::Step(std::string& error) {
  const int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) return StepResult::Row;
  if (result == SQLITE_DONE) return StepResult::Done;
  error = sqlite3_errmsg(db_);
  return StepResult::Failed;
}

bool SqliteStatement::Run(std::string& error) {
  StepResult result;
  while ((result = Step(error)) == StepResult::Row) {
  }
  return result == StepResult::Done;
}

int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

double SqliteStatement::Double(int column) const { return sqlite3_column_double(statement_, column); }

std::string SqliteStatement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
              : std::string();
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::optional<int64_t> SqliteStatement::OptionalInt(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Int(column);
}

SqliteDb::~SqliteDb() {
  cached_.clear();
  sqlite3_close_v2(db_);
}

bool SqliteDb::Open(const std::string& path, std::string& error) {
  const int opened =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (opened != SQLITE_OK) {
    error = Reason("cannot open " + path);
    return false;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Switching a new file to WAL takes a lock that the busy handler does not always wait
  // for, so a process starting beside another one tries again for the same time.
  int waited = 0;
  for (;;) {
    std::string why;
    if (Exec("PRAGMA journal_mode=WAL", why)) break;
    if (sqlite3_errcode(db_) != SQLITE_BUSY || waited >= kBusyTimeoutMs) {
      error = Reason("cannot open " + path);
      return false;
    }
    sqlite3_sleep(20);
    waited += 20;
  }
  // FULL: a committed record survives a crash of the machine, not just of the program.
  // secure_delete: a secret list item replaced by its digest leaves no old bytes in the
  // page (the WAL's copies go at its checkpoint).
  if (!Exec("PRAGMA synchronous=FULL", error) || !Exec("PRAGMA secure_delete=ON", error)) {
    error = Reason("cannot open " + path);
    return false;
  }
  return true;
}

bool SqliteDb::Exec(const char* sql, std::string& error) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  error = sqlite3_errmsg(db_);
  return false;
}

SqliteStatement SqliteDb::Prepare(const char* sql, std::string& error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db_);
    return SqliteStatement();
  }
  return SqliteStatement(db_, statement);
}

SqliteStatement* SqliteDb::Cached(const std::string& sql, std::string& error) {
  auto found = cached_.find(sql);
  if (found == cached_.end()) {
    SqliteStatement prepared = Prepare(sql.c_str(), error);
    if (!prepared.Valid()) return nullptr;
    found = cached_.emplace(sql, std::move(prepared)).first;
  }
  found->second.Reset();
  return &found->second;
}

bool SqliteDb::Transaction(bool write, const std::function<bool(std::string&)>& body,
                           std::string& error) {
  if (!Exec(write ? "BEGIN IMMEDIATE" : "BEGIN", error)) return false;
  if (body(error) && Exec("COMMIT", error)) return true;
  if (!sqlite3_get_autocommit(db_)) {
    std::string ignored;  // the body's or the commit's failure is the one to report
    Exec("ROLLBACK", ignored);
  }
  return false;
}

int SqliteDb::Changes() const { return sqlite3_changes(db_); }

std::string SqliteDb::Reason(const std::string& what) const {
  if (db_ == nullptr) return what + ": out of memory";
  std::string reason = what + ": " + sqlite3_errmsg(db_);
  const int number = sqlite3_system_errno(db_);
  if (number != 0) reason += " (" + SystemErrorText(number) + ")";
  return reason;
}
