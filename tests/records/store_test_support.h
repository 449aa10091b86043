// What the record store's tests share: both engines behind one fixture, a record to
// write, and plain SQL against the store's own database for what the interface hides.
//
//   Engine, EngineName       SQLite or PostgreSQL, as a test's name
//   EngineTest               the fixture: target_ is a new, empty store of its engine
//   EngineTest::Open()       a connection to it (the test fails without one)
//   EngineTest::Sql(sql)     runs statements on the store's own database
//   AnAttempt(startMs)       a failed, interrupted attempt with a new id
//   SerialDraws(product, first, firstGiven, last)
//                            the draws of the serial counter alone, as a run with serial
//                            numbers and no job makes them
//   InProcessesAtOnce(n, body)
//                            runs body(i) in n child processes released together; each
//                            must end with body's true
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/postgres_server.h"
#include "records/record_store.h"
#include "records/uuid.h"
#include "tests/support/scratch_dir.h"

enum class Engine { Sqlite, Postgres };

inline std::string EngineName(const testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

inline AttemptDraws SerialDraws(const std::string& product, int64_t first, bool firstGiven, int64_t last) {
  return {product, {{kSerialFieldName, first, firstGiven, last}}};
}

class EngineTest : public testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::Sqlite) {
      ASSERT_FALSE(scratch_.Path().empty());
      target_ = scratch_.Path() + "/records.sqlite";
      return;
    }
    server_ = std::make_unique<PostgresServer>();
    ASSERT_TRUE(server_->Start(false)) << server_->Failure();
    target_ = server_->Uri();
  }

  std::unique_ptr<RecordStore> Open() {
    std::string error;
    std::unique_ptr<RecordStore> store = OpenRecordStore(target_, error);
    EXPECT_NE(store, nullptr) << error;
    return store;
  }

  // Runs statements on the store's own database: the first value of the first row, or
  // "failed: why".
  std::string Sql(const std::string& sql) {
    std::string value;
    if (GetParam() == Engine::Sqlite) {
      sqlite3* db = nullptr;
      char* message = nullptr;
      auto first = [](void* out, int columns, char** values, char**) {
        auto& text = *static_cast<std::string*>(out);
        if (text.empty() && columns > 0 && values[0] != nullptr) text = values[0];
        return 0;
      };
      if (sqlite3_open(target_.c_str(), &db) != SQLITE_OK ||
          sqlite3_exec(db, sql.c_str(), first, &value, &message) != SQLITE_OK)
        value = std::string("failed: ") + (message ? message : sqlite3_errmsg(db));
      sqlite3_free(message);
      sqlite3_close(db);
      return value;
    }
    PGconn* conn = PQconnectdb(target_.c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0)
      value = PQgetvalue(result, 0, 0);
    else if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
      value = std::string("failed: ") + PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
    return value;
  }

  ScratchDir scratch_{"fwrec"};
  std::unique_ptr<PostgresServer> server_;
  std::string target_;
};

inline DeviceRecord AnAttempt(int64_t startMs, const std::string& port = "/dev/ttyUSB0") {
  DeviceRecord record;
  record.id = NewUuidV4();
  record.startMs = startMs;
  record.pc = "line-pc-1";
  record.port = port;
  record.product = "acme-probe";
  record.fwflashVersion = "1.1.0";
  record.firmwareSize = 3612;
  record.firmwareCrc32 = 0x3520737B;
  record.imageCrc32 = 0x3520737B;
  return record;
}

inline void InProcessesAtOnce(int processes, const std::function<bool(int)>& body) {
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < processes; ++i) {
    const pid_t child = fork();
    if (child == 0) {  // waits for the pipe's end, so that all start at once
      close(go[1]);
      char byte;
      (void)!read(go[0], &byte, 1);
      _exit(body(i) ? 0 : 1);
    }
    children.push_back(child);
  }
  close(go[0]);
  close(go[1]);
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}
