// A SQLite file whose write lock another program holds longer than fwflash-cli's busy
// time-out: stations with serial numbers wait without syncing a board, the others flash
// on with their records in the spool, delivered once the lock has gone.
#include <unistd.h>

#include <set>

#include "tests/cli/cli_records_fixture.h"

namespace {

constexpr int kLimitMs = 240000;  // a bound for a busy machine, never reached when all is well

// Another program holding the SQLite file's write lock (a write transaction left
// open) until Release(): fwflash-cli's writes wait out their busy time-out and fail.
class WriteLock {
 public:
  WriteLock(const std::string& db, const std::string& lockedFlag) {
    const char* script =
        "import sqlite3, sys\n"
        "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
        "db.execute('BEGIN IMMEDIATE')\n"
        "open(sys.argv[2], 'w').write('locked')\n"
        "sys.stdin.read()\n";
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;  // no fwflash-cli started later keeps it open
    pid_ = StartChild({"/usr/bin/python3", "-c", script, db, lockedFlag}, {ends[0], -1, -1});
    close(ends[0]);
    release_ = ends[1];
  }
  ~WriteLock() { Release(); }
  void Release() {
    if (release_ >= 0) close(release_), release_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0), pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

std::set<int64_t> Serials(const std::vector<Device>& devices) {
  std::set<int64_t> serials;
  for (const Device& device : devices) serials.insert(device.serial.value_or(-1));
  return serials;
}

using CliRecordsLockTest = RecordsTest;

TEST_F(CliRecordsLockTest, AFileLockedTooLongHoldsSerialStationsBackAndSpoolsTheOthersRecords) {
  StartBoard(0);
  BackgroundCli made(SerialRun(0, 1, {"--wait", "--count", "1"}), Out("made"), Err("made"));
  ASSERT_EQ(made.Exit(kLimitMs), 0) << Contents(Out("made")) << Contents(Err("made"));

  // Locked from before the start: the station syncs no board until the lock goes, then
  // goes on counting.
  const std::string locked = Dir() + "/locked";
  auto lock = std::make_unique<WriteLock>(Db(), locked);
  ASSERT_TRUE(AwaitText(locked, "locked", kLimitMs));
  BackgroundCli held(SerialRun(0, 1, {"--wait", "--count", "2", "--json"}), Out("held"), Err("held"));
  ASSERT_TRUE(AwaitText(Out("held"), R"("event":"store","ok":false)", kLimitMs)) << Contents(Out("held"));
  lock->Release();
  ASSERT_EQ(held.Exit(kLimitMs), 0) << Contents(Out("held")) << Contents(Err("held"));
  EXPECT_EQ(Serials(JsonResults(Contents(Out("held")))), (std::set<int64_t>{2, 3}));
  EXPECT_EQ(Contents(DataFile(0, 2)), AsText(Stamped(2))) << "its first conversation after the lock is a flash";
  EXPECT_EQ(Contents(DataFile(0, 3)), AsText(Stamped(3)));

  // Locked all through a run without serial numbers: its devices are flashed, their
  // records wait in the spool, and the report delivers them once the lock has gone.
  std::remove(locked.c_str());
  lock = std::make_unique<WriteLock>(Db(), locked);
  ASSERT_TRUE(AwaitText(locked, "locked", kLimitMs));
  BackgroundCli spooling({"--firmware", Image(), "--record", Db(), "--spool", Spool(), "--port", Link(0),
                          "--wait", "--count", "2", "--json"},
                         Out("spooling"), Err("spooling"));
  ASSERT_EQ(spooling.Exit(kLimitMs), 0) << Contents(Out("spooling")) << Contents(Err("spooling"));
  EXPECT_EQ(JsonResults(Contents(Out("spooling"))).size(), 2u);
  EXPECT_EQ(Events(Contents(Out("spooling")), "summary").at(0)["spooled"], 2) << Contents(Out("spooling"));
  lock->Release();
  const std::vector<std::vector<std::string>> rows = ReportCsv(Db());
  EXPECT_EQ(rows.size(), 5u);
  EXPECT_EQ(SqliteRows(Db(), "SELECT count(*), count(DISTINCT id), count(serial) FROM fwflash_records"),
            (std::vector<std::vector<std::string>>{{"5", "5", "3"}}));
}

// WAL never blocks a read, so only asking for the write lock tells that another program
// holds the file: a serial station must find that out before it syncs the next board.
TEST_F(CliRecordsLockTest, ALockTakenInARunHoldsSerialStationsBackBeforeTheirNextSync) {
  StartBoard(0);
  BackgroundCli run(SerialRun(0, 1, {"--wait", "--json"}), Out(), Err());
  ASSERT_TRUE(AwaitCondition([&] { return JsonResults(Contents(Out())).size() >= 2; }, kLimitMs)) << Contents(Out());
  const std::string locked = Dir() + "/locked";
  WriteLock lock(Db(), locked);
  ASSERT_TRUE(AwaitText(locked, "locked", kLimitMs));
  ASSERT_TRUE(AwaitText(Out(), R"("event":"store","ok":false)", kLimitMs)) << Contents(Out());
  const size_t atLock = JsonResults(Contents(Out())).size();
  lock.Release();
  ASSERT_TRUE(AwaitCondition([&] { return JsonResults(Contents(Out())).size() >= atLock + 2; }, kLimitMs))
      << Contents(Out());
  run.Signal(SIGTERM);
  EXPECT_GE(run.Exit(kLimitMs), 0);
  for (const Device& device : JsonResults(Contents(Out())))
    EXPECT_TRUE(device.serial.has_value()) << "a board synced without a number: " << device;
}

}  // namespace
