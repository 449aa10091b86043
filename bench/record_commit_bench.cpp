// The record store's cost per device: the time to commit one record (SaveRecord) and to
// begin an attempt with a serial number (BeginAttempt) or with a secret list's item, on a
// SQLite file and on a private
// PostgreSQL server (fsync on, Unix socket); then the dashboard's two questions over
// 100,000 records: the newest 100, and the last 24 hours per hour. Then the share of the
// counts kept beside the records in a commit, on both engines.
//
//   build/bench/record_commit_bench [COMMITS]   default 500 commits of each kind
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "records/record_time.h"
#include "records/uuid.h"
#include "secrets/sha256.h"
#include "tests/support/postgres_server.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr int kFilled = 100000;
constexpr int64_t kSpacingMs = 26000;  // 100,000 records over about 30 days
constexpr int kQueryRounds = 20;

DeviceRecord Completed(int64_t startMs) {
  DeviceRecord record;
  record.id = NewUuidV4();
  record.startMs = startMs;
  record.endMs = startMs + 11630;
  record.pc = "line-pc-1";
  record.port = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
  record.product = "acme-probe";
  record.fwflashVersion = "1.1.0";
  record.firmwareSize = 3612;
  record.ok = true;
  record.step.clear();
  record.bytes = 3612;
  record.seconds = 11.63;
  record.syncAcknowledged = true;
  return record;
}

// Milliseconds of each of rounds calls of step, which must succeed.
std::vector<double> Time(int rounds, const std::function<bool()>& step) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!step()) {
      std::fprintf(stderr, "a timed call failed\n");
      std::exit(1);
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms;
}

void Print(const char* what, const std::vector<double>& ms) {
  std::printf("  %-44s median %8.3f ms   99th percentile %8.3f ms\n", what, ms[ms.size() / 2],
              ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]);
}

// Statements run on the store behind the interface's back.
bool RunSql(bool postgres, const std::string& target, const std::string& sql) {
  if (postgres) {
    PGconn* conn = PQconnectdb(target.c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    if (!ok) std::fprintf(stderr, "%s", PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return ok;
  }
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open(target.c_str(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
  sqlite3_close(db);
  return ok;
}

// The store filled to 100,000 records in one transaction, behind the interface's back.
bool Fill(bool postgres, const std::string& target, int64_t nowMs) {
  const std::string sql =
      "INSERT INTO fwflash_records SELECT 'filler-' || n, " + std::to_string(nowMs) + " - n * " +
      std::to_string(kSpacingMs) + ", NULL, 'line-pc-' || (n % 2), '/dev/ttyUSB' || (n % 8), "
      "'acme-probe', '1.1.0', 3612, 0, 0, NULL, " + "n % 50 <> 0" +
      ", 'read-byte', 0, 3612, 11.63, " + (postgres ? "true" : "1") + ", '[]', '', '{}' FROM " +
      (postgres ? "generate_series(1::bigint, " + std::to_string(kFilled) + ") AS n"
                : "(WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
                      std::to_string(kFilled) + ") SELECT n FROM c)");
  return RunSql(postgres, target, sql + (postgres ? "; ANALYZE fwflash_records" : "; ANALYZE"));
}

// The counts' share of a commit: the same commits to a store keeping them and to one whose
// counts were dropped (as a store before them), one after the other, so that the disk's
// moods fall on both alike. Both a completed record alone (as a spool delivers it) and the
// completion of a begun attempt (as a station writes it).
bool CompareCounts(bool postgres, const std::string& kept, const std::string& without, int commits) {
  const char* dropTrigger = postgres ? "DROP FUNCTION fwflash_keep_counts() CASCADE; "
                                     : "DROP TRIGGER fwflash_counts_insert; DROP TRIGGER fwflash_counts_delete; "
                                       "DROP TRIGGER fwflash_counts_complete; DROP TRIGGER fwflash_counts_move; ";
  std::string error;
  std::unique_ptr<RecordStore> keeping = OpenRecordStore(kept, error), plain = OpenRecordStore(without, error);
  if (!keeping || !plain ||
      !RunSql(postgres, without, std::string(dropTrigger) + "DROP TABLE fwflash_counts; DROP TABLE fwflash_failed_steps")) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  const int64_t nowMs = NowUtcMs();
  for (const bool begun : {false, true}) {
    std::vector<double> with, withoutCounts;
    for (int i = 0; i < commits; ++i) {
      for (RecordStore* store : {keeping.get(), plain.get()}) {
        DeviceRecord record = Completed(nowMs);
        if (begun) {
          DeviceRecord attempt = record;
          attempt.endMs.reset();
          attempt.ok = false;
          attempt.step = "interrupted";
          if (store->BeginAttempt(attempt, nullptr, error) != BeginResult::Begun) return false;
        }
        (store == keeping.get() ? with : withoutCounts).push_back(Time(1, [&] { return store->SaveRecord(record, error); })[0]);
      }
    }
    std::vector<double> added;  // pair by pair, each pair a moment of the disk's
    for (size_t i = 0; i < with.size(); ++i) added.push_back(with[i] - withoutCounts[i]);
    std::sort(added.begin(), added.end());
    std::sort(with.begin(), with.end());
    std::sort(withoutCounts.begin(), withoutCounts.end());
    const char* what = begun ? "SaveRecord completing a begun attempt" : "SaveRecord (a completed record)";
    std::printf("  %s, interleaved:\n", what);
    Print("  with the counts kept", with);
    Print("  without (their tables dropped)", withoutCounts);
    std::printf("    ratio of the medians %.3f; added pair by pair: median %.3f ms\n",
                with[with.size() / 2] / withoutCounts[withoutCounts.size() / 2], added[added.size() / 2]);
  }
  return true;
}

bool Measure(const char* engine, bool postgres, const std::string& target, int commits) {
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(target, error);
  if (!store) {
    std::fprintf(stderr, "%s: %s\n", engine, error.c_str());
    return false;
  }
  std::printf("%s\n", engine);
  const int64_t nowMs = NowUtcMs();
  Print("SaveRecord (a completed record)", Time(commits, [&] {
          return store->SaveRecord(Completed(nowMs), error);
        }));
  const AttemptDraws block{"acme-probe", {{kSerialFieldName, 1, false, std::numeric_limits<int64_t>::max()}}};
  Print("BeginAttempt with a serial number", Time(commits, [&] {
          DeviceRecord record = Completed(nowMs);
          return store->BeginAttempt(record, &block, error) == BeginResult::Begun;
        }));
  // A production job's list: each attempt takes the next secret item, which the store
  // replaces by its digest in the same transaction.
  ListImport import;
  import.list = {"bench-passwords", "text", 12, true};
  for (int i = 0; i < commits; ++i) {
    char text[13];
    std::snprintf(text, sizeof text, "pw%010d", i);
    import.items.push_back({text, Sha256Hex(text), size_t(i + 1)});
  }
  if (!store->ImportList(import, error)) {
    std::fprintf(stderr, "%s: %s\n", engine, error.c_str());
    return false;
  }
  AttemptDraws listBlock;
  listBlock.product = "acme-probe";
  listBlock.lists = {{"password", "bench-passwords"}};
  Print("BeginAttempt taking one secret list item", Time(commits, [&] {
          DeviceRecord record = Completed(nowMs);
          return store->BeginAttempt(record, &listBlock, error) == BeginResult::Begun;
        }));
  if (!Fill(postgres, target, nowMs)) return false;
  RecordQuery newest;
  newest.newestFirst = true;
  newest.limit = 100;
  Print("newest 100 of 100,000 (ReadRecords)", Time(kQueryRounds, [&] {
          return store->ReadRecords(newest, [](const DeviceRecord&) {}, error);
        }));
  RecordSummary summary;
  Print("last 24 h of 100,000 (Summarize)", Time(kQueryRounds, [&] {
          return store->Summarize(nowMs - 86400000, nowMs + 1, summary, error);
        }));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int commits = argc > 1 ? std::atoi(argv[1]) : 500;
  if (commits < 1) {
    std::fprintf(stderr, "usage: record_commit_bench [COMMITS]\n");
    return 2;
  }
  ScratchDir scratch("fwbench");
  if (!Measure("SQLite (WAL, synchronous=FULL)", false, scratch.Path() + "/records.sqlite", commits) ||
      !CompareCounts(false, scratch.Path() + "/kept.sqlite", scratch.Path() + "/plain.sqlite", commits))
    return 1;
  setenv("POSTGRES_SERVER_FSYNC", "on", 1);  // the commit as a line's server makes it
  PostgresServer server;
  if (!server.Start(false)) {
    std::fprintf(stderr, "no PostgreSQL server: %s\n", server.Failure().c_str());
    return 1;
  }
  // The second store is a database of its own on the same server.
  std::string other = server.Uri();
  other.replace(other.find("/postgres?"), 10, "/plain?");
  return Measure("PostgreSQL 15 (Unix socket, fsync on)", true, server.Uri(), commits) &&
                 RunSql(true, server.Uri(), "CREATE DATABASE plain") &&
                 CompareCounts(true, server.Uri(), other, commits)
             ? 0
             : 1;
}
