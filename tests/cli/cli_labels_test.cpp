// Stations with labels: the label before the path in the result lines, in every JSON
// event beside the port (null without one) and in the log; two alike are refused.
#include "tests/cli/cli_fixture.h"

namespace {

class CliLabelsTest : public CliTest {
 protected:
  std::string Image() { return WriteFile("image", {0x11, 0xA5, 0x5A, 0x80, 0xFF}); }
};

TEST_F(CliLabelsTest, TheLabelStandsBeforeThePathInLinesJsonAndLog) {
  const std::string image = Image(), log = Dir() + "/results.log";
  StartDevice(0, {"--expect", image});
  StartDevice(1, {"--expect", image});
  ProgramResult run = RunCli({"--port", "A1=" + Link(0), "--port", Link(1), "--firmware", image, "--log", log});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
              return line.rfind("A1 " + Link(0) + ": ok, 5 bytes in ", 0) == 0;
            }), 1) << run.out;
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
              return line.rfind(Link(1) + ": ok, 5 bytes in ", 0) == 0;
            }), 1) << run.out;
  EXPECT_NE(lines.back().find("(A1 " + Link(0) + ": 1 passed, 0 failed; " + Link(1) + ": 1 passed"),
            std::string::npos) << lines.back();
  const std::string logged = Contents(log);
  EXPECT_NE(logged.find("Z label=A1 port=\"" + Link(0) + "\" result=ok"), std::string::npos) << logged;
  EXPECT_NE(logged.find("Z port=\"" + Link(1) + "\" result=ok"), std::string::npos) << logged;

  StartDevice(2, {"--expect", image});
  StartDevice(3, {"--expect", image});
  run = RunCli({"--port", "left-3=" + Link(2), "--port", Link(3), "--firmware", image, "--json"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const char* kind : {"start", "result"}) {
    for (const nlohmann::json& event : Events(run.out, kind)) {
      if (event["port"] == Link(2)) EXPECT_EQ(event["label"], "left-3") << event;
      else EXPECT_TRUE(event["label"].is_null()) << event;
    }
  }
  const nlohmann::json summary = Events(run.out, "summary").at(0);
  EXPECT_EQ(summary["stations"][0]["label"], "left-3") << summary;
  EXPECT_TRUE(summary["stations"][1]["label"].is_null()) << summary;
}

TEST_F(CliLabelsTest, TwoStationsWithOneLabelAreRefusedBeforeAnyPortIsOpened) {
  StartDevice(0, {"--report", Dir() + "/report"});
  ProgramResult run = RunCli({"--port", "A1=" + Link(0), "--port", "A1=/dev/null-station"});
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_EQ(run.err, "fwflash-cli: the label A1 is given to two stations\n");
  EXPECT_EQ(devices_[0]->Stop(), 0);
  EXPECT_EQ(Contents(Dir() + "/report"), "") << "the device had no conversation";
}

}  // namespace
