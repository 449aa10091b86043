// A job's sources at their limits: a generator that fails in each way it can, and a list
// that runs out.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 120000;  // a bound for a busy machine, never reached when all is well
constexpr int kRetryMs = 5000;    // when a failed generator is tried again in station mode

class CliJobsSourceTest : public JobsTest {
 protected:
  std::string ModeFile() const { return Dir() + "/mode"; }
  std::string RunsFile() const { return Dir() + "/runs"; }
  std::string Keygen() const { return Dir() + "/job/keygen"; }
  void SetMode(const std::string& mode) { WriteFile("mode", Bytes(mode)); }

  // The generator does what the mode file says; "ok" makes a key. Each run is counted.
  std::string ModalKeygen() const {
    return "#!/usr/bin/python3\n"
           "import json, os, sys, time\n"
           "open('" + RunsFile() + "', 'a').write('run\\n')\n"
           "mode = open('" + ModeFile() + "').read()\n"
           "if mode == 'exit1': sys.stderr.write('hsm offline\\n'); sys.exit(1)\n"
           "if mode == 'hang': time.sleep(60)\n"
           "if mode == 'badjson': print('{\"device_key\": '); sys.exit(0)\n"
           "if mode == 'missing': print(json.dumps({'serial_key': '00' * 16})); sys.exit(0)\n"
           "key = os.urandom(16).hex()\n"
           "with open(sys.argv[1], 'a') as f: f.write(key + '\\n')\n"
           "print(json.dumps({'device_key': key}))\n";
  }

  // The job with the modal generator, a second away from the usual 10 s, so that a hang
  // is cut off soon.
  void WriteModalJob() {
    WriteJob("../records.sqlite", "", ModalKeygen());
    std::string job = Contents(JobPath());
    job.replace(job.find("timeout_s = 10"), 14, "timeout_s = 1");
    WriteFile("job/acme.toml", Bytes(job));
    ASSERT_EQ(ImportPasswords(20, Db()).status, 0);
  }

  size_t ImagesReceived() { return ReceivedDevices(1).size(); }
  size_t GeneratorRuns() { return Lines(Contents(RunsFile())).size(); }
  std::vector<std::vector<std::string>> Records() { return SqliteRows(Db(), "SELECT count(*) FROM fwflash_records"); }
};

struct GeneratorFailure {
  std::string mode, reason;
  bool json;
};

// A one-shot run takes no device without its generator's values: it ends at once, with
// exit code 1 and the reason, having sent nothing to its port and written no record.
TEST_F(CliJobsSourceTest, AOneShotRunWhoseGeneratorFailsEndsAtOnceWithTheReasonAndSendsNothing) {
  WriteModalJob();
  const GeneratorFailure failures[] = {
      {"absent", "the generator keygen: cannot start " + Keygen() + ": No such file or directory", false},
      {"exit1", "keygen ended with exit code 1; its stderr ends: hsm offline", true},
      {"hang", "keygen did not end within 1 s and was stopped", false},
      {"badjson", "the generator keygen: its output is not one JSON object", true},
      {"missing", "the generator keygen: its output has no string \"device_key\"", false},
  };
  for (const GeneratorFailure& failure : failures) {
    SetMode(failure.mode);
    if (failure.mode == "absent") std::rename(Keygen().c_str(), (Keygen() + ".away").c_str());
    PseudoTerminalPair port;
    ASSERT_TRUE(port.Ok());
    std::vector<std::string> args = {"--job", JobPath(), "--port", ttyname(port.Terminal())};
    if (failure.json) args.push_back("--json");
    BackgroundCli cli(args, Out(failure.mode), Err(failure.mode));
    // A run that tried the generator again would last beyond the 5 s pause first.
    EXPECT_EQ(cli.Exit(kRetryMs), 1) << failure.mode << " did not end at once:\n" << Contents(Out(failure.mode));
    const std::string out = Contents(Out(failure.mode));
    if (failure.json) {
      const std::vector<nlohmann::json> told = Events(out, "generator");
      ASSERT_EQ(told.size(), 1u) << out;
      EXPECT_NE(told[0].value("message", "").find(failure.reason), std::string::npos) << out;
      EXPECT_EQ(told[0]["retrying"], false) << out;
      ASSERT_EQ(Events(out, "summary").size(), 1u) << out;
      EXPECT_EQ(Events(out, "summary")[0]["exit_code"], 1) << out;
    } else {
      EXPECT_NE(out.find(failure.reason + "; no device was started\n"), std::string::npos) << out;
      EXPECT_NE(out.find("summary: 0 passed, 0 failed"), std::string::npos) << out;
    }
    pollfd sent = {port.Device(), POLLIN, 0};
    EXPECT_EQ(poll(&sent, 1, 0), 0) << failure.mode << ": bytes reached the port";
    if (failure.mode == "absent") std::rename((Keygen() + ".away").c_str(), Keygen().c_str());
  }
  EXPECT_EQ(Records(), (std::vector<std::vector<std::string>>{{"0"}}));
}

// With --wait the station keeps waiting and tries the generator again every 5 s, telling
// the failure once, and no device is synced without its data; stopped then, the run
// ends with exit code 1. Once the generator works again the station goes on, and an
// output made for a device that never came is told at the end and dropped.
TEST_F(CliJobsSourceTest, AWaitingStationTriesAFailingGeneratorAgainAndSyncsNoDeviceWithoutItsData) {
  WriteModalJob();
  StartBoard(0, {"--replug", "600000"});  // one device: it is away once it is flashed
  SetMode("exit1");
  {
    BackgroundCli cli(JobRun(0, 1, {"--wait", "--count", "1", "--json"}), Out("failing"), Err("failing"));
    ASSERT_TRUE(AwaitCondition([&] { return GeneratorRuns() >= 2; }, kLimitMs)) << Contents(Out("failing"));
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Exit(kLimitMs), 1) << Contents(Out("failing"));
    const std::string out = Contents(Out("failing"));
    const std::vector<nlohmann::json> told = Events(out, "generator");
    ASSERT_EQ(told.size(), 1u) << "told once: " << out;
    EXPECT_NE(told[0].value("message", "").find("hsm offline"), std::string::npos) << out;
    EXPECT_EQ(told[0]["retrying"], true) << out;
    EXPECT_EQ(ImagesReceived(), 0u) << "a device got an image without its data";
    EXPECT_EQ(Records(), (std::vector<std::vector<std::string>>{{"0"}}));
  }

  BackgroundCli cli(JobRun(0, 1, {"--wait", "--count", "2", "--json"}), Out(), Err());
  ASSERT_TRUE(AwaitText(Out(), "hsm offline", kLimitMs)) << Contents(Out());
  SetMode("ok");
  ASSERT_TRUE(AwaitCondition([&] { return ImagesReceived() == 1; }, kLimitMs)) << Contents(Out());
  ASSERT_TRUE(AwaitCondition([&] { return JsonResults(Contents(Out())).size() == 1; }, kLimitMs)) << Contents(Out());
  ASSERT_TRUE(AwaitCondition([&] { return GivenKeys().size() == 2; }, kLimitMs)) << "ahead for the next device";
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Exit(kLimitMs), 0) << Contents(Out());
  EXPECT_NE(Contents(Out()).find(R"({"event":"generator","unused":1})"), std::string::npos) << Contents(Out());
  ExpectNoSecretIn("the JSON", Contents(Out()), ReceivedDevices(1));
}

TEST_F(CliJobsSourceTest, AListThatRunsOutStopsNewDevicesAndIsToldLowOnce) {
  WriteJob("../records.sqlite");
  ASSERT_EQ(ImportPasswords(3, Db()).status, 0);
  StartBoard(0);
  BackgroundCli cli(JobRun(0, 1, {"--wait", "--count", "5", "--json"}), Out(), Err());
  ASSERT_EQ(cli.Exit(kLimitMs), 1) << Contents(Out()) << Contents(Err());
  const std::string out = Contents(Out());
  EXPECT_EQ(JsonResults(out).size(), 3u) << out;
  EXPECT_EQ(ReceivedDevices(1).size(), 3u);
  EXPECT_NE(out.find(R"({"event":"list","name":"passwords","left":2})"), std::string::npos) << out;
  EXPECT_EQ(out.find(R"("event":"list")"), out.rfind(R"("event":"list")")) << "told once";
  EXPECT_NE(out.find("the list passwords is used up: no device was started after the last one"), std::string::npos) << out;
  EXPECT_EQ(SqliteRows(Db(), "SELECT count(*) FROM fwflash_records"), (std::vector<std::vector<std::string>>{{"3"}}));
}

}  // namespace
