// A thin hold on libpq, PostgreSQL's C client, for the record store.
//
//   PgParam, PgText/PgInt/PgOptionalInt/PgBool/PgDouble
//                                   a statement's value as text (nullopt: NULL)
//   PgResult                        a statement's result: Ok, ErrorMessage, SqlState,
//                                   Rows, Text/Int/Bool/Double
//   PgRow(result, row)              one row of a result, its columns read by number alone
//   PgDb::Connect(uri, error, problem)
//                                   connects with a time-out and TCP keepalives unless
//                                   the URI sets them; problem says whether the server
//                                   did not answer or refused
//   PgDb::Exec(sql, params, error)  runs one statement, values bound as $1, $2, ...; a
//                                   server that does not answer within 20 s fails it
//   PgDb::Transaction(begin, body, error)
//                                   begin ("BEGIN ..."), body, COMMIT; ROLLBACK when the
//                                   body fails
//   PgDb::Call(attempt, error)      runs attempt on a live connection: reconnects a lost
//                                   one first, and tries once more when a connection
//                                   that looked alive turns out lost
//   PgDb::Listen(channel, error) / PgDb::WaitForNotice(timeoutMs, noticed, error)
//                                   listens (again after a reconnection) and waits for
//                                   a notice on the connection's socket, or timeoutMs
//   PgDb::FailedSqlState()          the SQLSTATE of the last statement's failure when the
//                                   server refused it ("42501"), else empty (it was not
//                                   refused, or never reached the server)
//   PgDb::Reconnections()           how many times a lost connection was made again
//   PgDb::Redacted(text)            the text without any password the connection knows
//
// Every message handed out has been through Redacted: no password ever leaves here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/record_store.h"

struct pg_conn;
struct pg_result;

using PgParam = std::optional<std::string>;
PgParam PgText(const std::string& text);
PgParam PgInt(int64_t value);
PgParam PgOptionalInt(const std::optional<int64_t>& value);
PgParam PgBool(bool value);
PgParam PgDouble(double value);

class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(pg_result* result) : result_(result) {}
  ~PgResult();
  PgResult(PgResult&& other) noexcept;
  PgResult& operator=(PgResult&& other) noexcept;
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  bool Ok() const;
  std::string ErrorMessage() const;
  std::string SqlState() const;
  int Rows() const;
  std::string Text(int row, int column) const;
  bool IsNull(int row, int column) const;
  int64_t Int(int row, int column) const;
  std::optional<int64_t> OptionalInt(int row, int column) const;
  bool Bool(int row, int column) const;
  double Double(int row, int column) const;

 private:
  pg_result* result_ = nullptr;
};

class PgRow {
 public:
  PgRow(const PgResult& result, int row) : result_(result), row_(row) {}
  std::string Text(int column) const { return result_.Text(row_, column); }
  int64_t Int(int column) const { return result_.Int(row_, column); }
  std::optional<int64_t> OptionalInt(int column) const { return result_.OptionalInt(row_, column); }
  bool Bool(int column) const { return result_.Bool(row_, column); }
  double Double(int column) const { return result_.Double(row_, column); }

 private:
  const PgResult& result_;
  int row_;
};

class PgDb {
 public:
  PgDb() = default;
  ~PgDb();
  PgDb(const PgDb&) = delete;
  PgDb& operator=(const PgDb&) = delete;

  bool Connect(const std::string& uri, std::string& error, OpenProblem& problem);
  PgResult Exec(const char* sql, const std::vector<PgParam>& params, std::string& error);
  bool Transaction(const char* begin, const std::function<bool(std::string&)>& body,
                   std::string& error);
  bool Call(const std::function<bool(std::string&)>& attempt, std::string& error);
  bool Listen(const char* channel, std::string& error);
  bool WaitForNotice(unsigned timeoutMs, bool& noticed, std::string& error);
  std::string Redacted(const std::string& text) const;
  const std::string& FailedSqlState() const { return failedSqlState_; }
  uint64_t Reconnections() const { return reconnections_; }

 private:
  bool AwaitResult(std::string& error);
  bool Reconnect(std::string& error);
  std::string LastError() const;

  pg_conn* conn_ = nullptr;
  std::vector<std::string> secrets_;  // the URI's passwords and PGPASSWORD
  std::string listening_;             // the channel listened to, renewed on reconnection
  std::string failedSqlState_;        // the last statement's, when the server refused it
  uint64_t reconnections_ = 0;
  bool stale_ = false;                // a statement went unanswered: reconnect first
};
