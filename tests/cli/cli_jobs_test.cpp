// A production job on a store, end to end: four stations, each device its own
// serial number, MAC, password from a secret list and generated key; no secret given
// anywhere but in its device. And a job named as a user types it, from any folder.
#include <algorithm>
#include <filesystem>

#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 120000;  // a bound for a busy machine, never reached when all is well

class CliJobsTest : public JobsTest {};

TEST_F(CliJobsTest, FourStationsOnSqliteGiveEachDeviceItsOwnFourValuesAndNoSecretLeaks) {
  ExpectFourFieldJob("../records.sqlite", [&](const std::string& sql) { return SqliteRows(Db(), sql); }, [&] {
    return Artifacts{{"the SQLite file", Contents(Db())}, {"its WAL", Contents(Db() + "-wal")}};
  });
}

// The working directory of the run (below the test's folder), the job's name there, and
// the case's name.
struct JobName {
  std::string folder, name, label;
};
void PrintTo(const JobName& job, std::ostream* out) { *out << job.name; }

class CliJobsNamedTest : public JobsTest, public testing::WithParamInterface<JobName> {};

// Whatever folder the run starts in, the job's paths are its own folder's: the image,
// the store (written "sqlite:records.sqlite"), the spool ("../spool.sqlite") and the
// generator written as a path ("./keygen"), which is never a name to look up on PATH.
TEST_P(CliJobsNamedTest, AJobNamedFromItsOwnFolderOrAnotherFindsItsFilesAndItsGenerator) {
  const std::string store = Dir() + "/job/records.sqlite";
  WriteJob("sqlite:records.sqlite");
  ASSERT_EQ(ImportPasswords(3, store).status, 0);
  StartBoard(0);
  BackgroundCli cli({"--job", GetParam().name, "--port", Link(0)}, Out(), Err(), Dir() + GetParam().folder);
  ASSERT_EQ(cli.Exit(kLimitMs), 0) << Contents(Out()) << Contents(Err());
  const std::vector<Given> devices = ReceivedDevices(1);
  ASSERT_EQ(devices.size(), 1u) << Contents(Out());
  std::string key = devices[0].key;
  std::transform(key.begin(), key.end(), key.begin(), ::toupper);
  EXPECT_EQ(GivenKeys(), std::vector<std::string>{key}) << "the key of the job's own generator";
  EXPECT_EQ(SqliteRows(store, "SELECT serial FROM fwflash_records WHERE ok"),
            (std::vector<std::vector<std::string>>{{std::to_string(devices[0].serial)}}));
  EXPECT_TRUE(std::filesystem::exists(Spool())) << "the spool beside the job's folder";
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/records.sqlite")) << "a store outside the job's folder";
}

INSTANTIATE_TEST_SUITE_P(Folders, CliJobsNamedTest,
                         testing::Values(JobName{"/job", "acme.toml", "Bare"},
                                         JobName{"/job", "./acme.toml", "DotSlash"},
                                         JobName{"", "job/acme.toml", "FromAbove"}),
                         [](const testing::TestParamInfo<JobName>& info) { return info.param.label; });

}  // namespace
