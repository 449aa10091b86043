// A private PostgreSQL 15 server for one test, through tests/support/postgres-server.sh:
// started by the constructor, stopped and removed by the destructor, and stopped by the
// script's watcher as well should the test process die first.
//
//   PostgresServer(tcp)     starts it; over TCP on a free loopback port when tcp, else on
//                           a Unix socket only. Uri() is empty when it did not start,
//                           Failure() says why
//   Pause() / Resume()      stops it keeping its data, and starts it again (an outage)
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/program_run.h"

class PostgresServer {
 public:
  explicit PostgresServer(bool tcp = false) {
    char pattern[] = "/tmp/fwpg.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      failure_ = "cannot make a folder under /tmp";
      return;
    }
    dir_ = pattern;
    setenv("POSTGRES_SERVER_OWNER", std::to_string(getpid()).c_str(), 1);
    const ProgramResult started =
        tcp ? RunProgram({Script(), "start", dir_, "tcp"}) : RunProgram({Script(), "start", dir_});
    if (started.status == 0) uri_ = started.out.substr(0, started.out.find('\n'));
    failure_ = started.err;
  }
  ~PostgresServer() {
    if (!dir_.empty()) RunProgram({Script(), "stop", dir_});
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  const std::string& Uri() const { return uri_; }
  const std::string& Failure() const { return failure_; }
  bool Pause() { return RunProgram({Script(), "pause", dir_}).status == 0; }
  bool Resume() { return RunProgram({Script(), "resume", dir_}).status == 0; }

 private:
  static std::string Script() { return FWFLASH_SOURCE_DIR "/tests/support/postgres-server.sh"; }

  std::string dir_, uri_, failure_;
};
