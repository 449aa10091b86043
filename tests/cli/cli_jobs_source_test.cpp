// A job's sources at their limits: a generator that fails in each way it can, and a list
// that runs out.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

constexpr int kLimitMs = 120000;  // a bound for a busy machine, never reached when all is well

class CliJobsSourceTest : public JobsTest {
 protected:
  std::string ModeFile() const { return Dir() + "/mode"; }
  void SetMode(const std::string& mode) { WriteFile("mode", Bytes(mode)); }

  // The generator does what the mode file says; "ok" makes a key.
  std::string ModalKeygen() const {
    return "#!/usr/bin/python3\n"
           "import json, os, sys, time\n"
           "mode = open('" + ModeFile() + "').read()\n"
           "if mode == 'exit1': sys.stderr.write('hsm offline\\n'); sys.exit(1)\n"
           "if mode == 'hang': time.sleep(60)\n"
           "if mode == 'badjson': print('{\"device_key\": '); sys.exit(0)\n"
           "if mode == 'missing': print(json.dumps({'serial_key': '00' * 16})); sys.exit(0)\n"
           "key = os.urandom(16).hex()\n"
           "with open(sys.argv[1], 'a') as f: f.write(key + '\\n')\n"
           "print(json.dumps({'device_key': key}))\n";
  }

  size_t ImagesReceived() { return ReceivedDevices(1).size(); }
};

TEST_F(CliJobsSourceTest, AFailingGeneratorIsToldOnceAndNoDeviceIsSyncedWithoutItsData) {
  WriteJob("../records.sqlite", "", ModalKeygen());
  // A second away from the usual 10 s, so that the hang is cut off soon.
  std::string job = Contents(JobPath());
  job.replace(job.find("timeout_s = 10"), 14, "timeout_s = 1");
  WriteFile("job/acme.toml", Bytes(job));
  ASSERT_EQ(ImportPasswords(20, Db()).status, 0);
  StartBoard(0, {"--replug", "600000"});  // one device: it is away for the rest of the test
  const std::pair<std::string, std::string> failures[] = {
      {"exit1", "ended with exit code 1; its stderr ends: hsm offline"},
      {"hang", "did not end within 1 s and was stopped"},
      {"badjson", "its output is not one JSON object"},
      {"missing", "its output has no string \"device_key\""},
  };
  for (const auto& failure : failures) {
    SetMode(failure.first);
    const std::string out = Out(failure.first);
    BackgroundCli cli(JobRun(0, 1, {"--wait", "--count", "1"}), out, Err(failure.first));
    ASSERT_TRUE(AwaitText(out, failure.second, kLimitMs)) << Contents(out) << Contents(Err(failure.first));
    EXPECT_EQ(ImagesReceived(), 0u) << failure.first << ": a device got an image without its data";
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Exit(kLimitMs), 0) << Contents(out);
    EXPECT_EQ(Contents(out).find(failure.second), Contents(out).rfind(failure.second)) << "told once";
  }
  EXPECT_EQ(SqliteRows(Db(), "SELECT count(*) FROM fwflash_records"), (std::vector<std::vector<std::string>>{{"0"}}));

  // The station goes on once the generator works again; an output made for a device
  // that never came is told at the end and dropped.
  SetMode("exit1");
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
