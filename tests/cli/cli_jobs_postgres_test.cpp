// The four-field job on a private PostgreSQL server, a pg_dump searched for the secrets
// given.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

TEST_F(JobsPostgresTest, FourStationsGiveEachDeviceItsOwnFourValuesAndNoSecretLeaks) {
  ExpectFourFieldJob(server_.Uri(), ServerQuery(), [&] { return Artifacts{{"a pg_dump", Dump()}}; });
}

}  // namespace
