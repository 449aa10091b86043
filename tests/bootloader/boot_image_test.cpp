// fwflash-boot-image from the outside: keys made, images signed with a key file or a
// signing command, shown and checked; what it refuses, and that no private key's byte is
// ever in its output.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

class BootImageTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return scratch_.Path() + "/" + name; }

  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }
  Bytes Read(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
  }

  // fwflash-boot-image with these arguments; every output is kept for TearDown's check.
  ProgramResult Tool(std::vector<std::string> args) {
    args.insert(args.begin(), BuildPath("fwflash-boot-image"));
    ProgramResult result = RunProgram(args);
    outputs_.push_back(result.out + result.err);
    return result;
  }

  std::string NewKey(const std::string& name) {
    const ProgramResult made = Tool({"--new-key", Path(name)});
    EXPECT_EQ(made.status, 0) << made.err;
    keys_.push_back(Path(name) + ".key");
    return Path(name);
  }

  // 300 bytes, with room for a serial number at 16 (8 × 0xFF) and a MAC at 100 (6 × 0x00).
  static Bytes App() {
    Bytes app(300);
    for (size_t i = 0; i < app.size(); ++i) app[i] = static_cast<uint8_t>(i * 11 + 3);
    std::fill(app.begin() + 16, app.begin() + 24, 0xFF);
    std::fill(app.begin() + 100, app.begin() + 106, 0x00);
    return app;
  }

  ProgramResult Sign(const std::string& key, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{Write("app.bin", App()), Path("signed.img"), "--sign", key + ".key",
                                  "--version", "1.2.3", "--counter", "7"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Tool(args);
  }
  ProgramResult Show(const std::string& image, const std::string& key) {
    return Tool({"--show", Path(image), "--key", key + ".pub"});
  }

  // No byte of a private key's seed in anything the tool printed: neither raw nor in hex.
  void TearDown() override {
    for (const std::string& key : keys_) {
      const Bytes bytes = ReadKeyFile(key);
      if (bytes.size() < 8) continue;
      const std::string raw(bytes.begin(), bytes.begin() + 8);
      std::string hex;
      for (size_t i = 0; i < 8; ++i) hex += "0123456789abcdef"[bytes[i] >> 4], hex += "0123456789abcdef"[bytes[i] & 15];
      for (std::string output : outputs_) {
        EXPECT_EQ(output.find(raw), std::string::npos) << key;
        std::transform(output.begin(), output.end(), output.begin(), ::tolower);
        EXPECT_EQ(output.find(hex), std::string::npos) << key;
      }
    }
  }
  static Bytes ReadKeyFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
  }

 private:
  ScratchDir scratch_{"fwflash-boot-image"};
  std::vector<std::string> outputs_, keys_;
};

TEST_F(BootImageTest, NewKeyIsForItsOwnerOnlyAndIsNeverOverwritten) {
  const std::string key = NewKey("acme");
  struct stat status;
  ASSERT_EQ(stat((key + ".key").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  const Bytes private_key = Read("acme.key"), public_key = Read("acme.pub");
  ASSERT_EQ(private_key.size(), 64u);
  ASSERT_EQ(public_key.size(), 32u);
  EXPECT_TRUE(std::equal(public_key.begin(), public_key.end(), private_key.begin() + 32));

  const ProgramResult again = Tool({"--new-key", key});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already there"), std::string::npos) << again.err;
  EXPECT_EQ(Read("acme.key"), private_key);
}

TEST_F(BootImageTest, SignedImageVerifiesWithItsKeyOnly) {
  const std::string acme = NewKey("acme"), other = NewKey("other");
  ASSERT_EQ(Sign(acme, {"--region", "16:8", "--region", "0x64:6"}).status, 0);
  const Bytes image = Read("signed.img"), app = App();
  ASSERT_EQ(image.size(), 160u + 2 * 12 + app.size());
  EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "FWS1");
  EXPECT_TRUE(std::equal(app.begin(), app.end(), image.end() - static_cast<long>(app.size())));

  const ProgramResult good = Show("signed.img", acme);
  EXPECT_EQ(good.status, 0) << good.out << good.err;
  for (const char* line : {"version: 1.2.3\n", "counter: 7\n", "region: offset 16 (0x10), 8 bytes, blank 0xFF\n",
                           "region: offset 100 (0x64), 6 bytes, blank 0x00\n", "hash: matches", "signature: verifies"})
    EXPECT_NE(good.out.find(line), std::string::npos) << line << " in\n" << good.out;

  const ProgramResult wrong = Show("signed.img", other);
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.out.find("signature: does NOT verify: signed with another key"), std::string::npos) << wrong.out;
}

// What a production line may change and what it may not.
TEST_F(BootImageTest, RegionsMayChangeAfterSigningNothingElseMay) {
  const std::string acme = NewKey("acme");
  ASSERT_EQ(Sign(acme, {"--region", "16:8", "--region", "100:6"}).status, 0);
  const size_t app_at = 160 + 2 * 12;
  Bytes personal = Read("signed.img");
  std::copy_n("SN000042", 8, personal.begin() + static_cast<long>(app_at + 16));
  std::copy_n("\x02\x00\x5e\x10\x20\x30", 6, personal.begin() + static_cast<long>(app_at + 100));
  Write("personal.img", personal);
  EXPECT_EQ(Show("personal.img", acme).status, 0);

  for (size_t at : {app_at + 15, app_at + 24, app_at + 99, personal.size() - 1}) {  // each region's neighbours
    Bytes changed = personal;
    changed[at] ^= 0x01;
    Write("changed.img", changed);
    const ProgramResult shown = Show("changed.img", acme);
    EXPECT_EQ(shown.status, 1) << "byte " << at;
    EXPECT_NE(shown.out.find("hash: does NOT match"), std::string::npos) << shown.out;
  }
  Bytes header = personal;
  header[16] ^= 0x08;  // the counter raised by hand
  Write("changed.img", header);
  const ProgramResult shown = Show("changed.img", acme);
  EXPECT_EQ(shown.status, 1);
  EXPECT_NE(shown.out.find("the header was changed"), std::string::npos) << shown.out;
}

struct RegionCase {
  const char* name;
  std::vector<std::string> regions;
  const char* error;  // nullptr: signed
};

void PrintTo(const RegionCase& c, std::ostream* out) { *out << c.name; }

class BootImageRegions : public BootImageTest, public testing::WithParamInterface<RegionCase> {};

TEST_P(BootImageRegions, BlankCheckedBeforeSigning) {
  const std::string acme = NewKey("acme");
  std::vector<std::string> args;
  for (const std::string& region : GetParam().regions) args.insert(args.end(), {"--region", region});
  const ProgramResult signed_ = Sign(acme, args);
  if (GetParam().error == nullptr) {
    EXPECT_EQ(signed_.status, 0) << signed_.err;
    EXPECT_EQ(Show("signed.img", acme).status, 0);
    return;
  }
  EXPECT_EQ(signed_.status, 1);
  EXPECT_NE(signed_.err.find(GetParam().error), std::string::npos) << signed_.err;
  EXPECT_TRUE(Read("signed.img").empty()) << "an image was written";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BootImageRegions,
    testing::Values(RegionCase{"all 0xFF", {"16:8"}, nullptr}, RegionCase{"all 0x00", {"100:6"}, nullptr},
                    RegionCase{"one byte of a blank run", {"20:1", "101:1"}, nullptr},
                    RegionCase{"an application byte inside", {"16:9"}, "byte 24 is 0x"},
                    RegionCase{"0xFF and 0x00 mixed", {"20:84"}, "byte 24 is 0x"},
                    RegionCase{"neither 0x00 nor 0xFF", {"0:4"}, "byte 0 is 0x03"},
                    RegionCase{"past the end", {"299:2"}, "reaches past the application's 300 bytes"},
                    RegionCase{"overlapping", {"16:8", "20:2"}, "overlaps"},
                    RegionCase{"nine",
                               {"16:1", "17:1", "18:1", "19:1", "20:1", "21:1", "22:1", "23:1", "100:1"},
                               "9 regions, but a header holds at most 8"}),
    [](const testing::TestParamInfo<RegionCase>& info) { return std::to_string(info.index); });

TEST_F(BootImageTest, SigningCommandSignsAndWhatItGivesIsChecked) {
  const std::string acme = NewKey("acme"), other = NewKey("other");
  const std::string signer = BuildPath("tests/fwflash-test-sign");
  auto sign_with = [&](const std::vector<std::string>& command) {
    std::vector<std::string> args{Write("app.bin", App()), Path("command.img"), "--key", acme + ".pub",
                                  "--version", "0.9.1", "--counter", "3", "--region", "16:8",
                                  "--sign-command", command[0]};
    for (size_t i = 1; i < command.size(); ++i) args.insert(args.end(), {"--sign-arg", command[i]});
    return Tool(args);
  };
  const ProgramResult made = sign_with({signer, acme + ".key"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(Show("command.img", acme).status, 0);

  const struct {
    std::vector<std::string> command;
    const char* error;
  } failures[] = {
      {{signer, other + ".key"}, "does not verify with the public key"},
      {{"sh", "-c", "head -c 10 /dev/zero"}, "gave 10 bytes, not a 64-byte signature"},
      {{"sh", "-c", "head -c 65 /dev/zero"}, "gave more than 64 bytes"},
      {{"sh", "-c", "exit 4"}, "failed (exit status 4)"},
      {{Path("no-such-signer")}, "cannot start"},
  };
  for (const auto& failure : failures) {
    std::remove(Path("command.img").c_str());
    const ProgramResult refused = sign_with(failure.command);
    EXPECT_EQ(refused.status, 1) << failure.error;
    EXPECT_NE(refused.err.find(failure.error), std::string::npos) << refused.err;
    EXPECT_TRUE(Read("command.img").empty()) << failure.error;
  }
}

TEST_F(BootImageTest, KeyFilesOfTheWrongModeOrSizeAreRefusedWithTheirReason) {
  const std::string acme = NewKey("acme");
  chmod((acme + ".key").c_str(), 0640);
  ProgramResult refused = Sign(acme);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("mode 0640, but a private key must be readable by its owner only (chmod 600"),
            std::string::npos) << refused.err;

  Bytes key = Read("acme.key");
  key.pop_back();
  Write("short.key", key);
  chmod(Path("short.key").c_str(), 0600);
  refused = Sign(Path("short"));
  EXPECT_NE(refused.err.find("63 bytes, but a private key file holds 64"), std::string::npos) << refused.err;

  key = Read("acme.key");
  key[40] ^= 0x01;  // the public half no longer the seed's
  Write("damaged.key", key);
  chmod(Path("damaged.key").c_str(), 0600);
  refused = Sign(Path("damaged"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("its public half is not its seed's"), std::string::npos) << refused.err;

  chmod((acme + ".key").c_str(), 0600);
  ASSERT_EQ(Sign(acme).status, 0);
  Write("long.pub", Bytes(33, 1));
  refused = Show("signed.img", Path("long"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("33 bytes, but a public key file holds 32"), std::string::npos) << refused.err;
}

TEST_F(BootImageTest, BadCommandLinesEndWithStatusTwo) {
  const std::string app = Write("app.bin", App()), out = Path("out.img"), key = NewKey("acme") + ".key";
  const std::vector<std::vector<std::string>> bad = {
      {app, out, "--sign", key, "--counter", "1"},                          // no version
      {app, out, "--sign", key, "--version", "1.2.3"},                      // no counter
      {app, out, "--sign", key, "--version", "1.2", "--counter", "1"},      // not X.Y.Z
      {app, out, "--sign", key, "--version", "256.0.0", "--counter", "1"},  // too large
      {app, out, "--sign", key, "--version", "1.2.3.4", "--counter", "1"},
      {app, out, "--sign", key, "--version", "1.0.0", "--counter", "1", "--region", "16"},
      {app, out, "--version", "1.0.0", "--counter", "1"},                   // nothing signs
      {app, out, "--sign-command", "cat", "--version", "1.0.0", "--counter", "1"},  // no --key
      {app, out, "--sign-arg", "x"},
      {"--new-key", Path("x"), app},
      {app},
  };
  for (const auto& args : bad) {
    const ProgramResult run = Tool(args);
    EXPECT_EQ(run.status, 2) << args.back() << ": " << run.err;
  }
}

TEST_F(BootImageTest, AnUnsignedImageShowsAsSuchAndVerifiesWithNoKey) {
  const std::string acme = NewKey("acme");
  ASSERT_EQ(Tool({Write("app.bin", App()), Path("plain.img")}).status, 0);
  const ProgramResult plain = Tool({"--show", Path("plain.img")});
  EXPECT_EQ(plain.status, 0);
  EXPECT_NE(plain.out.find("unsigned image (FWB1)"), std::string::npos) << plain.out;
  EXPECT_EQ(Show("plain.img", acme).status, 1);
}

}  // namespace
