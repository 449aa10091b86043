// Station mode at length: two hundred devices in a row on one port leave the process with
// no more descriptors than it had after five. Heavy: about a minute, the plain pass only.
#include <dirent.h>
#include <signal.h>

#include "tests/cli/cli_fixture.h"
#include "tests/support/background_program.h"

namespace {

// The process's open descriptors, leaving out the port of the device it is serving.
int OpenDescriptors(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd/";
  int count = 0;
  DIR* fds = opendir(dir.c_str());
  while (dirent* fd = fds != nullptr ? readdir(fds) : nullptr) {
    char target[256] = {};
    if (fd->d_name[0] == '.') continue;
    if (readlink((dir + fd->d_name).c_str(), target, sizeof target - 1) > 0 &&
        std::string(target).rfind("/dev/pts/", 0) == 0)
      continue;
    ++count;
  }
  if (fds != nullptr) closedir(fds);
  return count;
}

class CliStationTest : public CliTest {
 protected:
  std::string Report() const { return Dir() + "/report"; }
  std::string Output() const { return Dir() + "/out"; }
};

TEST_F(CliStationTest, TwoHundredDevicesLeaveNoDescriptorBehind) {
  const std::string image = WriteFile("image", {0x80, 0xFF, 0xA5, 0x5A});
  StartDevice(0, {"--replug", "0", "--size", "4", "--report", Report()});
  BackgroundCli cli({"--port", Link(0), "--firmware", image, "--wait"}, Output());
  ASSERT_TRUE(AwaitText(Report(), "complete_conversations=5\n", 30000)) << Contents(Output());
  const int early = OpenDescriptors(cli.Pid());
  ASSERT_TRUE(AwaitText(Report(), "complete_conversations=200\n", 240000)) << Contents(Report());
  EXPECT_LE(OpenDescriptors(cli.Pid()), early);
  cli.Signal(SIGTERM);
  const int status = cli.Exit(10000);
  EXPECT_TRUE(status == 0 || status == 1) << "a device may have been under way";
  const std::vector<std::string> lines = Lines(Contents(Output()));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("summary: 20", 0), 0u) << lines.back();
}

}  // namespace
