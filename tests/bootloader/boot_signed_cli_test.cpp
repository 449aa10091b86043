// fwflash-cli against the simulation built with a key: a signed image in either
// protocol, and each refusal told with the device's reason where the device gives one
// (in frames), in the result, the log and the store.
#include "tests/bootloader/boot_signed_fixture.h"

namespace {

struct CliRun {
  int status = -1;
  json result;       // the result event
  std::string text;  // stdout: the result events, or the text lines
};

class SignedCliTest : public BootSignedTest {
 protected:
  // fwflash-cli on the image; protocol "" leaves the choice to it.
  CliRun Run(const std::vector<uint8_t>& image, const std::string& protocol, bool asJson = true) const {
    std::vector<std::string> args{BuildPath("fwflash-cli"), "--port", Link(), "--firmware", Write("cli.img", image),
                                  "--log", Path("cli.log"), "--record", Path("records.sqlite")};
    if (!protocol.empty()) args.insert(args.end(), {"--protocol", protocol});
    if (asJson) args.push_back("--json");
    const ProgramResult ran = RunProgram(args);
    CliRun run{ran.status, json(), ran.out};
    std::istringstream lines(ran.out);
    for (std::string line; asJson && std::getline(lines, line);)
      if (Json(line).value("event", "") == "result") run.result = Json(line);
    return run;
  }
  // The last line of the log fwflash-cli appends to.
  std::string LastLogLine() const {
    std::ifstream log(Path("cli.log"));
    std::string line, last;
    while (std::getline(log, line)) last = line;
    return last;
  }
};

class SignedCliProtocol : public SignedCliTest, public testing::WithParamInterface<const char*> {};

// Left to itself, fwflash-cli takes a signed image as one with the reference header: the
// probe first, and frames from a device that answers it.
TEST_P(SignedCliProtocol, FlashesASignedImageThatTheDeviceFindsValidWithItsVersionAndCounter) {
  const std::string protocol = GetParam();
  const std::vector<uint8_t> app = SignedApp(11), image = Signed(app, "2.4.6", 3);
  BootSimProcess sim;
  StartKeyed(sim);
  const CliRun run = Run(image, protocol);
  ASSERT_EQ(run.status, 0) << run.text;
  EXPECT_EQ(run.result["protocol"], protocol == "1" ? 1 : 2);
  EXPECT_EQ(run.result["bytes"], image.size()) << "the signed header counted with the application";
  EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(app), "2.4.6", 3));
}

INSTANTIATE_TEST_SUITE_P(Protocols, SignedCliProtocol, testing::Values("1", "2", ""),
                         [](const testing::TestParamInfo<const char*>& info) {
                           const std::string protocol = info.param;
                           return protocol == "1" ? "ByteForByte" : protocol == "2" ? "InFrames" : "ChosenForTheImage";
                         });

TEST_F(SignedCliTest, InFramesEachRefusalIsToldWithTheDevicesReasonAndFails) {
  const std::vector<uint8_t> installed = SignedApp(12), app = SignedApp(13);
  std::vector<uint8_t> badSignature = Signed(app, "1.1.0", 5);
  badSignature[HeaderOf(badSignature).size() - 1] ^= 0x01;
  std::vector<uint8_t> changedBody = Signed(app, "1.1.0", 5);
  changedBody[HeaderOf(changedBody).size() + 50] ^= 0x01;  // between the two regions
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    const char* step;
    const char* reason;
    bool erased;  // the device got as far as erasing: its application is gone
  };
  const std::vector<Case> cases{
      {"another key's", Signed(app, "1.1.0", 5, "other"), "image-refused",
       "the device refused the image: it is signed by a key the device does not know", false},
      {"a lower counter", Signed(app, "1.1.0", 4), "image-refused",
       "the device refused the image: its security counter is lower than the device's", false},
      {"a changed signature", badSignature, "image-refused",
       "the device refused the image: its signature does not verify", false},
      {"a changed body", changedBody, "end-check",
       "the image's body does not match its signed hash; the device kept no record", true},
  };
  BootSimProcess sim;
  StartKeyed(sim);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Run(Signed(installed, "1.0.0", 5), "2").status, 0);
    const json valid = Keyed(Valid(installed), "1.0.0", 5);
    ASSERT_EQ(Json(sim.NextLine()), valid);
    const std::vector<uint8_t> before = Read(FlashFile());
    const CliRun run = Run(c.image, "2");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.result["ok"], false);
    EXPECT_EQ(run.result["step"], c.step);
    EXPECT_EQ(run.result["reason"], c.reason);
    EXPECT_NE(LastLogLine().find(std::string("reason=\"") + c.reason + "\""), std::string::npos) << LastLogLine();
    if (c.erased) {
      EXPECT_EQ(Json(sim.NextLine()), Nothing(5)) << "no record, and the counter as it was";
    } else {
      EXPECT_EQ(Json(sim.NextLine()), valid);
      EXPECT_EQ(Read(FlashFile()), before) << "refused before anything was erased";
    }
  }
  // The store keeps each reason with its device's record.
  const ProgramResult report =
      RunProgram({BuildPath("fwflash-cli"), "--report", "--csv", "--record", Path("records.sqlite")});
  ASSERT_EQ(report.status, 0) << report.err;
  for (const Case& c : cases) EXPECT_NE(report.out.find(c.reason), std::string::npos) << c.what;
}

// The byte-for-byte protocol has no room for a reason: the device's refusal after the
// signed header is the answer it gives any refused header.
TEST_F(SignedCliTest, ByteForByteARefusalFailsAfterTheSignedHeaderAndErasesNothing) {
  const std::vector<uint8_t> installed = SignedApp(14), refused = Signed(SignedApp(15), "1.1.0", 5, "other");
  BootSimProcess sim;
  StartKeyed(sim);
  ASSERT_EQ(Run(Signed(installed, "1.0.0", 5), "1").status, 0);
  const json valid = Keyed(Valid(installed), "1.0.0", 5);
  ASSERT_EQ(Json(sim.NextLine()), valid);
  const std::vector<uint8_t> before = Read(FlashFile());
  const CliRun run = Run(refused, "1", false);
  EXPECT_EQ(run.status, 1);
  const std::string failedAt = "failed at byte " + std::to_string(HeaderOf(refused).size() + 1) + " of " +
                               std::to_string(refused.size()) + ": Unknown command from device!";
  EXPECT_NE(run.text.find(failedAt), std::string::npos) << run.text;
  EXPECT_EQ(Json(sim.NextLine()), valid);
  EXPECT_EQ(Read(FlashFile()), before);
}

}  // namespace
