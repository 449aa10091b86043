#include "records/postgres_db.h"

#include <libpq-fe.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "records/postgres_tls.h"
#include "records/postgres_uri.h"
#include "records/socket_wait.h"

namespace {

// Set unless the URI sets them: a dead server or network makes a call fail within
// seconds instead of hanging; UTF-8 is what the records hold.
struct Default {
  const char* keyword;
  const char* value;
  const char* environment;  // a variable of libpq's that sets it instead, if any
};
const Default kDefaults[] = {
    {"connect_timeout", "5", "PGCONNECT_TIMEOUT"},
    {"keepalives", "1", nullptr},
    {"keepalives_idle", "5", nullptr},
    {"keepalives_interval", "2", nullptr},
    {"keepalives_count", "3", nullptr},
    {"tcp_user_timeout", "10000", nullptr},
    {"client_encoding", "UTF8", "PGCLIENTENCODING"},
    {"application_name", "fwflash", "PGAPPNAME"},
};

constexpr auto kCallTimeout = std::chrono::seconds(20);

// libpq's messages span lines ("...failed: ...\n\tIs the server running...?\n").
std::string OneLine(const char* message) {
  std::string line;
  bool pendingBreak = false;
  for (const char* c = message; *c != 0; ++c) {
    if (*c == '\n' || *c == '\r' || *c == '\t') {
      pendingBreak = pendingBreak || *c != '\t';
      continue;
    }
    if (pendingBreak && !line.empty()) line += "; ";
    pendingBreak = false;
    line += *c;
  }
  return line;
}

// A server that answered but will not have us stays refused; anything else may pass.
// libpq keeps no result, so no SQLSTATE, of a failed connection: its message is all
// there is to tell the two apart.
bool ServerRefused(const std::string& message) {
  for (const char* sign : {"authentication failed", "does not exist", "pg_hba.conf",
                           "no password supplied", "permission denied", "SSL", "invalid"}) {
    if (message.find(sign) != std::string::npos) return true;
  }
  return false;
}

// The server's notices ("relation ... already exists, skipping") are not the program's
// output; libpq would print them on stderr.
void IgnoreNotice(void*, const char*) {}

// The length of the well-formed UTF-8 sequence at text[at], or 0 (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF; NUL counts as ill-formed here).
size_t Utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead >= 0x01 && lead <= 0x7F) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

}  // namespace

// The server takes only UTF-8 without NUL bytes: anything else (a port's name in another
// encoding) becomes U+FFFD, rather than a record that no delivery can ever store.
PgParam PgText(const std::string& text) {
  std::string valid;
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Length(text, at);
    if (length == 0) {
      valid += "\xEF\xBF\xBD";
      ++at;
    } else {
      valid.append(text, at, length);
      at += length;
    }
  }
  return valid;
}
PgParam PgInt(int64_t value) { return std::to_string(value); }
PgParam PgOptionalInt(const std::optional<int64_t>& value) {
  return value ? PgInt(*value) : std::nullopt;
}
PgParam PgBool(bool value) { return std::string(value ? "t" : "f"); }
PgParam PgDouble(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;  // exact, no locale
  return std::string(text, end);
}

PgResult::~PgResult() { PQclear(result_); }

std::string PgResult::ErrorMessage() const {
  return result_ != nullptr ? PQresultErrorMessage(result_) : "";
}

std::string PgResult::SqlState() const {
  const char* state = result_ != nullptr ? PQresultErrorField(result_, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr ? state : "";
}

PgResult::PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = std::exchange(other.result_, nullptr);
  }
  return *this;
}

bool PgResult::Ok() const {
  const ExecStatusType status = PQresultStatus(result_);
  return result_ != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
}

int PgResult::Rows() const { return PQntuples(result_); }

std::string PgResult::Text(int row, int column) const {
  return std::string(PQgetvalue(result_, row, column),
                     static_cast<size_t>(PQgetlength(result_, row, column)));
}

bool PgResult::IsNull(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }

int64_t PgResult::Int(int row, int column) const {
  return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

std::optional<int64_t> PgResult::OptionalInt(int row, int column) const {
  if (IsNull(row, column)) return std::nullopt;
  return Int(row, column);
}

bool PgResult::Bool(int row, int column) const { return PQgetvalue(result_, row, column)[0] == 't'; }

double PgResult::Double(int row, int column) const {
  const char* text = PQgetvalue(result_, row, column);
  double value = 0;
  std::from_chars(text, text + std::strlen(text), value);
  return value;
}

PgDb::~PgDb() { PQfinish(conn_); }

bool PgDb::Connect(const std::string& uri, std::string& error, OpenProblem& problem) {
  problem = OpenProblem::Refused;
  secrets_ = UriPasswords(uri);
  if (const char* password = std::getenv("PGPASSWORD")) secrets_.push_back(password);
  char* parseError = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &parseError);
  if (options == nullptr) {
    error = Redacted(OneLine(parseError != nullptr ? parseError : "out of memory"));
    PQfreemem(parseError);
    return false;
  }
  if (const std::string refusal = TlsRefusal(options); !refusal.empty()) {
    error = refusal;
    PQconninfoFree(options);
    return false;
  }
  std::vector<const char*> keywords, values;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (option->val == nullptr) continue;
    keywords.push_back(option->keyword);
    values.push_back(option->val);
  }
  for (const Default& setting : kDefaults) {
    bool given = setting.environment != nullptr && std::getenv(setting.environment) != nullptr;
    for (const char* keyword : keywords) given = given || std::strcmp(keyword, setting.keyword) == 0;
    if (given) continue;
    keywords.push_back(setting.keyword);
    values.push_back(setting.value);
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  conn_ = PQconnectdbParams(keywords.data(), values.data(), 0);
  PQconninfoFree(options);
  PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
  if (conn_ != nullptr && PQpass(conn_) != nullptr) secrets_.push_back(PQpass(conn_));  // .pgpass
  if (PQstatus(conn_) == CONNECTION_OK) {
    problem = OpenProblem::None;
    return true;
  }
  error = LastError();
  problem = ServerRefused(error) ? OpenProblem::Refused : OpenProblem::Unreachable;
  return false;
}

PgResult PgDb::Exec(const char* sql, const std::vector<PgParam>& params, std::string& error) {
  failedSqlState_.clear();
  std::vector<const char*> values;
  for (const PgParam& param : params) values.push_back(param ? param->c_str() : nullptr);
  // Statements without values go as they are, which also lets a migration hold several.
  const int sent = params.empty() ? PQsendQuery(conn_, sql)
                                  : PQsendQueryParams(conn_, sql, static_cast<int>(params.size()),
                                                      nullptr, values.data(), nullptr, nullptr, 0);
  if (sent == 0) {
    error = LastError();
    return PgResult();
  }
  if (!AwaitResult(error)) return PgResult();
  PgResult result;  // the last statement's, unless one before it failed
  bool failed = false;
  while (PGresult* next = PQgetResult(conn_)) {
    PgResult current(next);
    if (failed) continue;
    failed = !current.Ok();
    result = std::move(current);
  }
  if (!result.Ok()) {
    failedSqlState_ = result.SqlState();
    const std::string reason = result.ErrorMessage();
    error = reason.empty() ? LastError() : Redacted(OneLine(reason.c_str()));
  }
  return result;
}

// A server that holds a statement (a lock, a stopped process) is given up on after
// kCallTimeout: the connection is then made again at the next call.
bool PgDb::AwaitResult(std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + kCallTimeout;
  while (PQisBusy(conn_)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      stale_ = true;
      error = "the record store did not answer within " +
              std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kCallTimeout).count()) + " s";
      return false;
    }
    std::string waitError;
    if (PQsocket(conn_) < 0 || !WaitReadable(PQsocket(conn_), static_cast<int>(left), waitError) ||
        PQconsumeInput(conn_) == 0) {
      error = waitError.empty() ? LastError() : Redacted(waitError);
      return false;
    }
  }
  return true;
}

bool PgDb::Transaction(const char* begin, const std::function<bool(std::string&)>& body,
                       std::string& error) {
  if (!Exec(begin, {}, error).Ok()) return false;
  if (body(error) && Exec("COMMIT", {}, error).Ok()) return true;
  if (!stale_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    std::string ignored;  // the body's failure is the one to report
    const std::string failedSqlState = failedSqlState_;
    Exec("ROLLBACK", {}, ignored);
    failedSqlState_ = failedSqlState;
  }
  return false;
}

bool PgDb::Call(const std::function<bool(std::string&)>& attempt, std::string& error) {
  const bool lookedAlive = !stale_ && PQstatus(conn_) == CONNECTION_OK;
  if (!lookedAlive && !Reconnect(error)) return false;
  if (attempt(error)) return true;
  // A server restarted since the last call shows only now; one more try on a new
  // connection. A BeginAttempt whose commit did land meets its own id and fails. A
  // server that did not answer in time is not tried again at once.
  if (!lookedAlive || stale_ || PQstatus(conn_) == CONNECTION_OK) return false;
  return Reconnect(error) && attempt(error);
}

bool PgDb::Listen(const char* channel, std::string& error) {
  const std::string listen = std::string("LISTEN ") + channel;
  if (!Exec(listen.c_str(), {}, error).Ok()) return false;
  listening_ = channel;
  return true;
}

bool PgDb::WaitForNotice(unsigned timeoutMs, bool& noticed, std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // A server that ended the connection leaves no socket to wait on.
    if (PQconsumeInput(conn_) == 0 || PQstatus(conn_) != CONNECTION_OK || PQsocket(conn_) < 0) {
      error = LastError();
      return false;
    }
    noticed = false;
    while (PGnotify* notice = PQnotifies(conn_)) {
      noticed = true;
      PQfreemem(notice);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (noticed || left <= 0) return true;
    if (!WaitReadable(PQsocket(conn_), static_cast<int>(left), error)) {
      error = Redacted(error);
      return false;
    }
  }
}

std::string PgDb::Redacted(const std::string& text) const { return RedactSecrets(text, secrets_); }

bool PgDb::Reconnect(std::string& error) {
  if (conn_ == nullptr) {
    error = "no connection to the record store";
    return false;
  }
  PQreset(conn_);
  stale_ = false;
  if (PQstatus(conn_) != CONNECTION_OK) {
    error = LastError();
    return false;
  }
  ++reconnections_;
  if (listening_.empty()) return true;
  const std::string channel = listening_;
  return Listen(channel.c_str(), error);
}

std::string PgDb::LastError() const {
  return Redacted(OneLine(conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory"));
}
