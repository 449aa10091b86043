// Why a port failed, told in fwflash-cli's words: in the result line, in the JSON result
// and in the log, each against a real path.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tests/cli/cli_fixture.h"
#include "tests/cli/port_fixtures.h"

namespace {

struct Told {
  std::string line;     // the text line after "PORT: failed at byte K of N: "
  std::string cause;    // the JSON cause, empty for null
  std::string reason, hint;
};

class CliReasonTest : public CliTest {
 protected:
  // Runs fwflash-cli (or a copy, as another user: runAs) on the port in text and in JSON
  // and with a log, and checks that all three tell the same.
  void ExpectTold(const std::string& port, unsigned byte, const Told& told,
                  std::vector<std::string> runAs = {}, std::vector<std::string> more = {}) {
    const std::string log = logDir_ + "/results.log";
    std::ofstream(log).close();
    chmod(log.c_str(), 0666);
    if (runAs.empty()) runAs = {BuildPath("fwflash-cli")};
    for (bool json : {false, true}) {
      devices_.clear();
      if (!restart_.empty()) StartDevice(0, restart_);
      std::vector<std::string> args = runAs;
      args.insert(args.end(), {"--port", port, "--log", log});
      args.insert(args.end(), more.begin(), more.end());
      if (json) args.push_back("--json");
      ProgramResult run = RunProgram(args);
      EXPECT_NE(run.status, 0) << run.out << run.err;
      if (!json) {
        const std::string expected = port + ": failed at byte " + std::to_string(byte) + " of " +
                                     size_ + ": " + told.line;
        const std::vector<std::string> lines = Lines(run.out);
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end())
            << expected << "\n" << run.out << run.err;
        continue;
      }
      const std::vector<nlohmann::json> results = Events(run.out, "result");
      ASSERT_EQ(results.size(), 1u) << run.out;
      EXPECT_EQ(results[0]["reason"], told.reason);
      EXPECT_EQ(results[0]["cause"], told.cause.empty() ? nlohmann::json() : nlohmann::json(told.cause));
      EXPECT_EQ(results[0]["hint"], told.hint.empty() ? nlohmann::json() : nlohmann::json(told.hint));
      EXPECT_FALSE(results[0]["messages"].empty()) << "the desktop program's messages stay";
    }
    std::ifstream file(log);
    std::string line;
    for (int i = 0; i < 2 && std::getline(file, line); ++i) {
      const std::string fields = " reason=\"" + told.reason + "\" hint=\"" + told.hint + "\"";
      EXPECT_EQ(line.substr(line.size() - std::min(line.size(), fields.size())), fields) << line;
    }
  }

  std::string logDir_ = Dir();
  std::string size_ = "3612";
  std::vector<std::string> restart_;  // a virtual device's options, started before each run
};

TEST_F(CliReasonTest, APathThatDoesNotExist) {
  const std::string missing = Dir() + "/ttyUSB9";
  ExpectTold(missing, 0,
             {"cannot open " + missing + ": No such file or directory (fwflash-cli --list-ports lists the ports)",
              "missing", "cannot open " + missing + ": No such file or directory",
              "fwflash-cli --list-ports lists the ports"});
}

// Locked as fwflash locks its ports: with flock, or in the terminal's exclusive mode,
// which does not stop root from opening it.
TEST_F(CliReasonTest, APortHeldByAnotherProcessNamesIt) {
  for (HoldingProcess::Lock lock : {HoldingProcess::kFlock, HoldingProcess::kExclusive}) {
    BareTerminal port;
    HoldingProcess holder(port.Path(), lock);
    ASSERT_EQ(holder.Command(), "sleep");
    const std::string by = "by PID " + std::to_string(holder.Pid()) + ", sleep";
    ExpectTold(port.Path(), 0,
               {"cannot open " + port.Path() + ": in use (" + by + ")", "in-use",
                "cannot open " + port.Path() + ": in use", by});
    EXPECT_TRUE(port.Arrived().empty()) << "a port in use is never touched";
  }
}

// Root opens anything: a copy of fwflash-cli runs as nobody from a folder nobody may read.
TEST_F(CliReasonTest, APortTheUserMayNotOpenNamesItsGroupWhenThatGroupMayUseIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a program as another user";
  chmod(Dir().c_str(), 0755);
  const std::string copy = Dir() + "/fwflash-cli";
  std::filesystem::copy_file(BuildPath("fwflash-cli"), copy);
  chmod(copy.c_str(), 0755);
  const std::vector<std::string> asNobody{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                          "--clear-groups", copy};
  BareTerminal port;
  ASSERT_EQ(chown(port.Path().c_str(), 0, 20), 0);  // dialout
  const std::string notAllowed = "cannot open " + port.Path() + ": not allowed";
  const std::string hint = "add the user to group dialout: sudo usermod -aG dialout nobody, then log in again";
  chmod(port.Path().c_str(), 0660);
  ExpectTold(port.Path(), 0, {notAllowed + " (" + hint + ")", "not-allowed", notAllowed, hint}, asNobody);
  chmod(port.Path().c_str(), 0600);  // the group may not use it either: no hint
  ExpectTold(port.Path(), 0, {notAllowed, "not-allowed", notAllowed, ""}, asNobody);
  EXPECT_TRUE(port.Arrived().empty());
}

TEST_F(CliReasonTest, ADeviceThatHangsUpInTheMiddle) {
  size_ = "5";
  restart_ = {"--size", "5", "--fault", "hang-up@3"};
  const std::string image = WriteFile("image", {1, 2, 3, 4, 5});
  ExpectTold(Link(0), 3,
             {"the device went away (cable or power)", "gone", "the device went away", "cable or power"},
             {}, {"--firmware", image});
}

TEST_F(CliReasonTest, AFailedConversationKeepsTheDesktopProgramsMessages) {
  size_ = "5";
  restart_ = {"--size", "5", "--fault", "echo@2=0x00"};
  const std::string image = WriteFile("image", {1, 2, 3, 4, 5});
  ExpectTold(Link(0), 2, {"0x02 sent, but 0x00 received", "", "0x02 sent, but 0x00 received", ""},
             {}, {"--firmware", image});
}

}  // namespace
