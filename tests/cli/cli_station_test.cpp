// Station mode: one port, one device after the next, as boards are plugged in and out
// (the virtual device's --replug), stopped by a signal (without growing over two hundred
// devices: cli_descriptors_test.cpp, heavy).
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/support/background_program.h"

namespace {

// Whether the process has a handler for the signal yet.
bool Catches(pid_t pid, int number) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1)) & 1;
  return false;
}

class CliStationTest : public CliTest {
 protected:
  std::string Report() const { return Dir() + "/report"; }
  std::string Output() const { return Dir() + "/out"; }
};

TEST_F(CliStationTest, OneStationServesThreeDevicesInARowOnTheSamePort) {
  StartDevice(0, {"--replug", "100", "--report", Report()});
  ProgramResult run = RunCli({"--port", Link(0), "--wait", "--count", "3"});
  EXPECT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "summary: 3 passed, 0 failed") << run.out;
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& line) {
                            return line.rfind(Link(0) + ": ok, 3612 bytes in ", 0) == 0;
                          }),
            3);
  EXPECT_TRUE(AwaitText(Report(), "complete_conversations=3", 5000)) << Contents(Report());
}

TEST_F(CliStationTest, ASignalDuringATransferStopsItAndEndsWithTheSummary) {
  StartDevice(0, {"--replug", "100", "--baud-emulation"});
  BackgroundCli cli({"--port", Link(0), "--wait"}, Output());
  ASSERT_TRUE(AwaitText(Output(), ": 10 % (", 20000)) << Contents(Output());
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Exit(10000), 1) << "no hang, and a stopped device counts as failed";
  const std::vector<std::string> lines = Lines(Contents(Output()));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "summary: 0 passed, 1 failed");
  EXPECT_NE(lines[lines.size() - 2].find(": Stopped"), std::string::npos) << lines[lines.size() - 2];
}

TEST_F(CliStationTest, ASignalWhileWaitingForADeviceEndsTheStation) {
  BackgroundCli cli({"--port", Dir() + "/not-yet", "--wait", "--json"}, Output());
  for (int waited = 0; !Catches(cli.Pid(), SIGINT) && waited < 10000; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  cli.Signal(SIGINT);
  EXPECT_EQ(cli.Exit(10000), 0);
  EXPECT_EQ(Events(Contents(Output()), "summary").size(), 1u) << Contents(Output());
}

TEST_F(CliStationTest, APortThatCannotBeUsedIsReportedOnceAndTriedAgain) {
  const std::string notAPort = WriteFile("not-a-port", {1});
  BackgroundCli cli({"--port", notAPort, "--wait"}, Output());
  ASSERT_TRUE(AwaitText(Output(), "trying again", 10000));
  for (int waited = 0; !Catches(cli.Pid(), SIGTERM) && waited < 10000; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // only to show: tried again, not told again
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Exit(10000), 0);
  EXPECT_EQ(Lines(Contents(Output())),
            (std::vector<std::string>{
                notAPort + ": cannot use the port: Cannot get com port parameters!; trying again",
                "summary: 0 passed, 0 failed"}));
}

}  // namespace
