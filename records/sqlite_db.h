// A thin hold on SQLite's C interface, shared by the record store and the spool.
//
//   SqliteDb::Open(path, error)        opens or makes a file that several processes
//                                      share: WAL, a 5 s busy time-out, synchronous=FULL
//   SqliteDb::Exec(sql, error)         runs statements that take no values
//   SqliteDb::Prepare(sql, error)      one statement, its values bound by number
//   SqliteDb::Cached(sql, error)       the same, prepared once per connection and reset at
//                                      each call (nullptr on failure): for statements run
//                                      at every device, whose triggers cost more to
//                                      prepare than to run
//   SqliteDb::Transaction(write, body, error)
//                                      BEGIN IMMEDIATE (write) or BEGIN, body, COMMIT;
//                                      ROLLBACK when the body or the commit fails
//   SqliteDb::Changes()                rows the last statement inserted, changed or deleted
//   SqliteDb::Reason(what)             "what: SQLite's message"
//   SqliteStatement::Bind*(n, value)   binds the n-th value (1-based)
//   SqliteStatement::Step(error)       Row, Done or Failed
//   SqliteStatement::Int/Text/IsNull   a column of the current row (also OptionalInt, Double,
//                                      and Bool: an integer other than 0)
//   SqliteStatement::Run(error)        steps to the end, true when done without failure
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement {
 public:
  enum class StepResult { Row, Done, Failed };

  SqliteStatement() = default;
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  bool Valid() const { return statement_ != nullptr; }
  void Reset();  // to run again with new values
  void BindInt(int n, int64_t value);
  void BindOptionalInt(int n, const std::optional<int64_t>& value);
  void BindDouble(int n, double value);
  void BindText(int n, const std::string& value);
  StepResult Step(std::string& error);
  bool Run(std::string& error);

  int64_t Int(int column) const;
  double Double(int column) const;
  std::string Text(int column) const;
  bool IsNull(int column) const;
  std::optional<int64_t> OptionalInt(int column) const;
  bool Bool(int column) const { return Int(column) != 0; }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
};

class SqliteDb {
 public:
  SqliteDb() = default;
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  bool Open(const std::string& path, std::string& error);
  bool Exec(const char* sql, std::string& error);
  SqliteStatement Prepare(const char* sql, std::string& error);
  SqliteStatement* Cached(const std::string& sql, std::string& error);
  bool Transaction(bool write, const std::function<bool(std::string&)>& body, std::string& error);
  int Changes() const;
  std::string Reason(const std::string& what) const;
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::map<std::string, SqliteStatement> cached_;  // finalized before the connection closes
};
