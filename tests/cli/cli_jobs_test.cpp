// A production job on a store, end to end: four stations, each device its own
// serial number, MAC, password from a secret list and generated key; no secret given
// anywhere but in its device.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

class CliJobsTest : public JobsTest {};

TEST_F(CliJobsTest, FourStationsOnSqliteGiveEachDeviceItsOwnFourValuesAndNoSecretLeaks) {
  ExpectFourFieldJob("../records.sqlite", [&](const std::string& sql) { return SqliteRows(Db(), sql); }, [&] {
    return Artifacts{{"the SQLite file", Contents(Db())}, {"its WAL", Contents(Db() + "-wal")}};
  });
}

}  // namespace
