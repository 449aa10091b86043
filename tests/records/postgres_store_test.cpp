// What only a server brings: a password to keep secret, and a server that goes away and
// comes back. Each test has a private server of its own.
#include <cstdlib>

#include "tests/support/postgres_server.h"
#include "records/record_store.h"
#include "store_test_support.h"

namespace {

constexpr char kPassword[] = "fwflash-test";  // the TCP server's, see postgres-server.sh

// The TCP server's URI with a password in it, in the user information or as a parameter.
std::string WithPassword(const std::string& uri, const std::string& password, bool asParameter) {
  const std::string user = "postgres@";
  if (asParameter) return uri + "?password=" + password;
  return std::string(uri).replace(uri.find(user), user.size(), "postgres:" + password + "@");
}

TEST(PostgresStoreTest, APasswordIsInNoMessageNameOrRecordOverTcp) {
  PostgresServer server;
  ASSERT_TRUE(server.Start(true)) << server.Failure();
  ASSERT_NE(server.Uri().find("127.0.0.1"), std::string::npos);
  const std::string wrong = "Wr0ng-Secret";
  for (const bool asParameter : {false, true}) {
    const std::string uri = WithPassword(server.Uri(), wrong, asParameter);
    std::string error;
    OpenProblem problem = OpenProblem::None;
    EXPECT_EQ(OpenRecordStore(uri, error, &problem), nullptr);
    EXPECT_NE(error.find("password authentication failed"), std::string::npos) << error;
    EXPECT_EQ(error.find(wrong), std::string::npos) << error;
    EXPECT_EQ(problem, OpenProblem::Refused);
    EXPECT_EQ(StoreTargetName(uri).find(wrong), std::string::npos);
  }

  const std::string uri = WithPassword(server.Uri(), kPassword, false);
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(uri, error);
  ASSERT_NE(store, nullptr) << error;
  DeviceRecord record = AnAttempt(1);
  ASSERT_TRUE(store->SaveRecord(record, error)) << error;
  std::string everything;
  store->ReadRecords({}, [&](const DeviceRecord& r) { everything += r.pc + r.port + r.product; }, error);
  EXPECT_EQ(everything.find(kPassword), std::string::npos);

  ASSERT_TRUE(server.Pause());  // a server down: the messages of a lost connection
  EXPECT_FALSE(store->SaveRecord(record, error));
  EXPECT_EQ(error.find(kPassword), std::string::npos) << error;
  EXPECT_FALSE(store->Ping(error));
  EXPECT_EQ(error.find(kPassword), std::string::npos) << error;
  OpenProblem problem = OpenProblem::None;
  EXPECT_EQ(OpenRecordStore(uri, error, &problem), nullptr);
  EXPECT_EQ(error.find(kPassword), std::string::npos) << error;
  EXPECT_EQ(problem, OpenProblem::Unreachable);

  setenv("PGPASSWORD", wrong.c_str(), 1);  // libpq's own place for it
  ASSERT_TRUE(server.Resume());
  EXPECT_EQ(OpenRecordStore(server.Uri(), error), nullptr);
  EXPECT_EQ(error.find(wrong), std::string::npos) << error;
  unsetenv("PGPASSWORD");
}

TEST(PostgresStoreTest, CallsFailWhileTheServerIsDownAndWorkAgainOnceItIsBack) {
  PostgresServer server;
  ASSERT_TRUE(server.Start(false)) << server.Failure();
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(server.Uri(), error);
  std::unique_ptr<RecordStore> watcher = OpenRecordStore(server.Uri(), error);
  ASSERT_TRUE(store && watcher) << error;
  bool changed = false;
  ASSERT_TRUE(watcher->WaitForChange(0, error, &changed)) << error;
  const AttemptDraws block = SerialDraws("acme-probe", 1, false, 1000);
  DeviceRecord first = AnAttempt(1);
  ASSERT_EQ(store->BeginAttempt(first, &block, error), BeginResult::Begun) << error;
  ASSERT_TRUE(watcher->WaitForChange(60000, error, &changed)) << error;  // its notice, seen
  ASSERT_TRUE(changed);

  ASSERT_TRUE(server.Pause());
  DeviceRecord during = AnAttempt(2);
  EXPECT_EQ(store->BeginAttempt(during, &block, error), BeginResult::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(store->SaveRecord(first, error));
  EXPECT_FALSE(store->Ping(error));
  EXPECT_FALSE(watcher->WaitForChange(1000, error, &changed));

  ASSERT_TRUE(server.Resume());
  EXPECT_TRUE(store->Ping(error)) << error;
  first.ok = true;
  first.endMs = 3;
  EXPECT_TRUE(store->SaveRecord(first, error)) << error;
  DeviceRecord after = AnAttempt(4);
  ASSERT_EQ(store->BeginAttempt(after, &block, error), BeginResult::Begun) << error;
  EXPECT_EQ(after.serial, 2) << "the failed attempt took no number";
  ASSERT_TRUE(watcher->WaitForChange(60000, error, &changed)) << error;
  EXPECT_TRUE(changed) << "what changed while it was away is not known";
  ASSERT_TRUE(store->SaveRecord(first, error)) << error;
  ASSERT_TRUE(watcher->WaitForChange(60000, error, &changed)) << error;  // listening again
  EXPECT_TRUE(changed);
}

TEST(PostgresStoreTest, AStatementTheServerHoldsFailsInTimeAndTheNextCallWorks) {
  PostgresServer server;
  ASSERT_TRUE(server.Start(false)) << server.Failure();
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(server.Uri(), error);
  ASSERT_NE(store, nullptr) << error;
  const AttemptDraws block = SerialDraws("acme-probe", 1, false, 1000);
  DeviceRecord first = AnAttempt(1);
  ASSERT_EQ(store->BeginAttempt(first, &block, error), BeginResult::Begun) << error;

  PGconn* locker = PQconnectdb(server.Uri().c_str());  // holds the counter's row
  PQclear(PQexec(locker, "BEGIN"));
  PGresult* locked = PQexec(locker, "SELECT * FROM fwflash_field_counters FOR UPDATE");
  ASSERT_EQ(PQresultStatus(locked), PGRES_TUPLES_OK) << PQerrorMessage(locker);
  PQclear(locked);
  DeviceRecord held = AnAttempt(2);
  EXPECT_EQ(store->BeginAttempt(held, &block, error), BeginResult::Failed);
  EXPECT_NE(error.find("did not answer"), std::string::npos) << error;
  PQclear(PQexec(locker, "COMMIT"));
  PQfinish(locker);

  DeviceRecord after = AnAttempt(3);
  ASSERT_EQ(store->BeginAttempt(after, &block, error), BeginResult::Begun) << error;
  EXPECT_EQ(after.serial, 2) << "the abandoned attempt's number was not kept";
}

// The server's refusal for missing rights (its SQLSTATE) stays: no later try would pass.
TEST(PostgresStoreTest, AUserWithoutTheRightToMakeTheTablesIsRefusedNotUnreachable) {
  PostgresServer server;
  ASSERT_TRUE(server.Start(false)) << server.Failure();
  PGconn* admin = PQconnectdb(server.Uri().c_str());
  PGresult* made = PQexec(admin, "CREATE ROLE clerk LOGIN");  // no CREATE on schema public
  ASSERT_EQ(PQresultStatus(made), PGRES_COMMAND_OK) << PQerrorMessage(admin);
  PQclear(made);
  PQfinish(admin);
  std::string clerk = server.Uri();
  const std::string user = "user=postgres";
  ASSERT_NE(clerk.find(user), std::string::npos) << clerk;
  clerk.replace(clerk.find(user), user.size(), "user=clerk");
  std::string error;
  OpenProblem problem = OpenProblem::None;
  EXPECT_EQ(OpenRecordStore(clerk, error, &problem), nullptr);
  EXPECT_EQ(problem, OpenProblem::Refused) << error;
  EXPECT_NE(error.find("permission denied"), std::string::npos) << error;
}

TEST(PostgresStoreTest, AServerThatDoesNotAnswerIsUnreachableNotRefused) {
  PostgresServer server;
  ASSERT_TRUE(server.Start(false)) << server.Failure();
  ASSERT_TRUE(server.Pause());
  std::string error;
  OpenProblem problem = OpenProblem::None;
  EXPECT_EQ(OpenRecordStore(server.Uri(), error, &problem), nullptr);
  EXPECT_EQ(problem, OpenProblem::Unreachable) << error;
  EXPECT_NE(error.find("cannot connect to the record store postgresql://"), std::string::npos) << error;
}

}  // namespace
