// The production line and signed images: --key (fwflash-cli and the desktop fwflash)
// refuses an image its key did not sign before any port; fields behind the reference
// header count from the application's first byte and, in a signed image, must lie in its
// regions; a job's serial numbers and MACs in the regions of a signed image, each device
// valid in the simulation with its own values.
#include <cctype>

#include "tests/bootloader/boot_signed_fixture.h"

namespace {

// A missing port: a run that gets past its checks tries to open it and ends with exit 3.
constexpr int kRefused = 2, kPortUnusable = 3;

class SignedLineTest : public BootSignedTest {
 protected:
  // 600 bytes, blank around both regions (16:8 in 0xFF from 12 to 40, 100:6 in 0x00 from
  // 96 to 110), so that a field beside a region is refused for its place, not its bytes.
  static std::vector<uint8_t> LineApp() {
    std::vector<uint8_t> app = App(600, 11);
    std::fill(app.begin() + 12, app.begin() + 40, 0xFF);
    std::fill(app.begin() + 96, app.begin() + 110, 0x00);
    return app;
  }

  ProgramResult Cli(std::vector<std::string> args) const {
    args.insert(args.begin(), BuildPath("fwflash-cli"));
    return RunProgram(args);
  }

  // A job of fields given as TOML, in the test's folder, the image and the key beside it.
  std::string Job(const std::string& firmware, const std::string& fields, const std::string& more = "") const {
    const std::string job = "firmware = \"" + firmware + "\"\nrecord = \"records.sqlite\"\n" + more + fields;
    return Write("line.toml", std::vector<uint8_t>(job.begin(), job.end()));
  }
};

std::string Field(const std::string& name, unsigned at, const std::string& format) {
  return "\n[[field]]\nname = \"" + name + "\"\nat = " + std::to_string(at) + "\nformat = \"" + format +
         "\"\ncounter = { first = 1 }\n";
}

// A case's words as a test's name: its letters and digits.
std::string TestName(const char* what) {
  std::string name;
  for (; *what != '\0'; ++what)
    if (std::isalnum(static_cast<unsigned char>(*what))) name += *what;
  return name;
}

struct KeyCase {
  const char* what;
  const char* refusal;  // what standard error says; nullptr: the image is taken
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.what; }

class KeyCheck : public SignedLineTest, public testing::WithParamInterface<KeyCase> {
 protected:
  // The case's image and the key it is checked with.
  std::vector<uint8_t> CaseImage(std::string& key) const {
    const std::string what = GetParam().what;
    const std::vector<uint8_t> app = SignedApp(12);
    std::vector<uint8_t> image = Signed(app, "1.0.0", 1, what == "another key's" ? "other" : "vendor");
    const size_t body = HeaderOf(image).size();
    key = Path("vendor.pub");
    if (what == "line bytes in a region") image[body + 17] = 0x42;
    if (what == "unsigned") image = Read(Image("unsigned", app));
    if (what == "a changed header") image[13] ^= 1;  // the minor version
    if (what == "a changed body") image[body + 24] ^= 1;  // the byte after the first region
    if (what == "a short key file") key = Write("short.pub", std::vector<uint8_t>(31, 7));
    return image;
  }
};

TEST_P(KeyCheck, FwflashCliTakesOnlyWhatTheKeySignedBeforeAnyPort) {
  std::string key;
  const std::string image = Write("case.img", CaseImage(key));
  const ProgramResult run = Cli({"--firmware", image, "--key", key, "--port", Path("missing")});
  if (GetParam().refusal == nullptr) {
    EXPECT_EQ(run.status, kPortUnusable) << run.err;
    EXPECT_EQ(run.err, "");
  } else {
    EXPECT_EQ(run.status, kRefused);
    EXPECT_NE(run.err.find(GetParam().refusal), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << "no port was tried";
  }
}

TEST_P(KeyCheck, FwflashChecksTheFirmwareItCarriesBeforeAnyWindow) {
  std::string key;
  const std::string firmware = Write("case.img", CaseImage(key)), program = Path("fwflash-product");
  const ProgramResult packed = RunProgram({BuildPath("fwflash-pack"), "set", BuildPath("fwflash"), "-o", program,
                                           "--firmware", firmware});
  ASSERT_EQ(packed.status, 0) << packed.err;
  // Without a display: past the check, --version answers; a refusal comes before it.
  const ProgramResult run = RunProgram({program, "--key", key, "--version"});
  if (GetParam().refusal == nullptr) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("firmware 7"), std::string::npos) << run.out;
  } else {
    EXPECT_EQ(run.status, kRefused);
    EXPECT_EQ(run.err.rfind("fwflash: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(GetParam().refusal), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Images, KeyCheck,
    testing::Values(KeyCase{"the key's", nullptr}, KeyCase{"line bytes in a region", nullptr},
                    KeyCase{"another key's", "the image is signed by another key (key id "},
                    KeyCase{"unsigned", "the image is not signed, but --key "},
                    KeyCase{"a changed header", "signature does not verify with "},
                    KeyCase{"a changed body", "does not match its signed hash"},
                    KeyCase{"a short key file", "31 bytes, but a public key file holds 32"}),
    [](const testing::TestParamInfo<KeyCase>& info) { return TestName(info.param.what); });

struct PlaceCase {
  const char* what;
  std::vector<std::string> options;  // fwflash-cli's besides the port and the store
  bool isSigned;
  const char* refusal;  // nullptr: taken
};

void PrintTo(const PlaceCase& c, std::ostream* out) { *out << c.what; }

class FieldPlaces : public SignedLineTest, public testing::WithParamInterface<PlaceCase> {};

// Offsets count from the application's first byte; a signed image takes fields only
// inside its regions, whole, and an unsigned one keeps the checks of any image.
TEST_P(FieldPlaces, AreCheckedAgainstTheApplicationAndTheSignedRegions) {
  const PlaceCase& c = GetParam();
  const std::vector<uint8_t> app = LineApp();
  const std::vector<uint8_t> image = c.isSigned ? Signed(app, "1.0.0", 1) : Read(Image("unsigned", app));
  std::vector<std::string> args = c.options;
  for (std::string& arg : args) {
    if (arg == "IMAGE") arg = Write("line.img", image);
    if (arg == "STORE") arg = Path("records.sqlite");
    if (arg.rfind("JOB:", 0) == 0) arg = Job("line.img", arg.substr(4));
  }
  Write("line.img", image);
  args.insert(args.end(), {"--port", Path("missing")});
  const ProgramResult run = Cli(args);
  if (c.refusal == nullptr) {
    EXPECT_EQ(run.status, kPortUnusable) << run.err;
  } else {
    EXPECT_EQ(run.status, kRefused);
    EXPECT_EQ(run.err, std::string("fwflash-cli: ") + c.refusal + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldPlaces,
    testing::Values(
        PlaceCase{"a blank field between the regions", {"--job", "JOB:" + Field("mac", 32, "u48be")}, true,
                  "field mac at 32 (6 bytes) lies outside the image's signed regions: 16:8, 100:6"},
        PlaceCase{"the same field unsigned", {"--job", "JOB:" + Field("mac", 32, "u48be")}, false, nullptr},
        PlaceCase{"into a region from before it", {"--job", "JOB:" + Field("serial", 14, "u32le")}, true,
                  "field serial at 14 (4 bytes) lies outside the image's signed regions: 16:8, 100:6"},
        PlaceCase{"out of a region's end", {"--job", "JOB:" + Field("mac", 101, "u48be")}, true,
                  "field mac at 101 (6 bytes) lies outside the image's signed regions: 16:8, 100:6"},
        PlaceCase{"each filling its region",
                  {"--job", "JOB:" + Field("serial", 16, "u64le") + Field("mac", 100, "u48be")}, true, nullptr},
        PlaceCase{"--serial-at past a region's end",
                  {"--firmware", "IMAGE", "--record", "STORE", "--serial-at", "20", "--serial-format", "u64le"},
                  true, "--serial-at 20 (8 bytes) lies outside the image's signed regions: 16:8, 100:6"},
        PlaceCase{"--serial-at in a region",
                  {"--firmware", "IMAGE", "--record", "STORE", "--serial-at", "20", "--serial-format", "u32le"},
                  true, nullptr},
        // The image has 608 bytes, its application 600: the header is not room for a field.
        PlaceCase{"--serial-at past the application",
                  {"--firmware", "IMAGE", "--record", "STORE", "--serial-at", "598", "--serial-format", "u32le",
                   "--serial-overwrite"},
                  false, "the serial number (4 bytes at offset 598) does not fit in the 600-byte image"}),
    [](const testing::TestParamInfo<PlaceCase>& info) { return TestName(info.param.what); });

TEST_F(SignedLineTest, AJobWritesEachDeviceItsOwnSerialAndMacIntoTheRegionsAndEachIsValid) {
  const std::vector<uint8_t> app = SignedApp(13);
  Write("line.img", Signed(app, "2.4.0", 3));
  const std::string fields = Field("serial", 16, "u32le") +
                             "\n[[field]]\nname = \"mac\"\nat = 100\nformat = \"u48be\"\nshow = \"mac\"\n"
                             "counter = { first = 0x0050C2000010, step = 8 }\n";
  BootSimProcess sim;
  EXPECT_EQ(StartKeyed(sim), Nothing(0));
  // The job's key is the job folder's file; another key's refusal reaches no device.
  std::rename(Path("other.pub").c_str(), Path("job-key.pub").c_str());
  const ProgramResult refused = Cli({"--job", Job("line.img", fields, "key = \"job-key.pub\"\n"), "--port", Link()});
  EXPECT_EQ(refused.status, kRefused);
  EXPECT_NE(refused.err.find("signed by another key"), std::string::npos) << refused.err;

  const std::string job = Job("line.img", fields, "key = \"vendor.pub\"\n");
  for (uint8_t device = 1; device <= 2; ++device) {
    SCOPED_TRACE("device " + std::to_string(device));
    // Byte for byte, then in frames: either way the values are stamped before sending.
    const ProgramResult run = Cli({"--job", job, "--port", Link(), "--protocol", device == 1 ? "1" : "2"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::vector<uint8_t> written = app;
    written[16] = device;  // the serial, u32le, then the region's blank 0xFF
    std::fill(written.begin() + 17, written.begin() + 20, 0);
    const std::vector<uint8_t> mac{0x00, 0x50, 0xC2, 0x00, 0x00, static_cast<uint8_t>(0x10 + 8 * (device - 1))};
    std::copy(mac.begin(), mac.end(), written.begin() + 100);
    EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(written), "2.4.0", 3));
    const std::vector<uint8_t> flash = Read(FlashFile());
    EXPECT_EQ(std::vector<uint8_t>(flash.begin(), flash.begin() + 600), written);
  }
}

}  // namespace
