// The job file as it is read: the settings it fills, paths from its own folder, and the
// refusals a typo or a wrong value gets, each with its place in the file.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "jobs/job_file.h"
#include "secrets/sha256.h"
#include "tests/support/scratch_dir.h"

namespace {

class JobFileTest : public testing::Test {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = scratch_.Path() + "/line/job.toml";
    std::filesystem::create_directories(scratch_.Path() + "/line");
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // The reason the job is refused; "" when it is read.
  std::string Refusal(const std::string& text) {
    JobFile job;
    std::string error;
    return ReadJobFile(Write(text), job, error) ? "" : error;
  }
  ScratchDir scratch_{"fwjob"};
};

constexpr char kJob[] = R"(product = "acme-probe"
firmware = "fw/acme-probe-2.1.bin"
record = "records.sqlite"

[[field]]
name = "serial"
at = 0x1F0
format = "u32le"
counter = { first = 100000, last = 199999 }

[[field]]
name = "mac"
at = 0x1F8
format = "u48be"
show = "mac"
counter = { first = 0x0050C2000000, last = 0x0050C2000FFF, step = 8 }

[[field]]
name = "password"
at = 0x200
format = "ascii:12"
list = "acme-passwords"
secret = true

[[field]]
name = "device_key"
at = 0x210
format = "bytes:16"
generator = "keygen"
secret = true

[generator.keygen]
command = ["./keygen", "--product", "acme-probe"]
)";

TEST_F(JobFileTest, AJobFillsItsSettingsWithPathsFromItsOwnFolder) {
  JobFile job;
  std::string error;
  const std::string path = Write(kJob);
  ASSERT_TRUE(ReadJobFile(path, job, error)) << error;
  const std::string folder = scratch_.Path() + "/line/";
  EXPECT_EQ(job.sha256, Sha256Hex(kJob));
  EXPECT_EQ(job.product, "acme-probe");
  EXPECT_EQ(job.firmware, folder + "fw/acme-probe-2.1.bin");
  EXPECT_EQ(job.record, folder + "records.sqlite");
  ASSERT_EQ(job.fields.size(), 4u);
  EXPECT_EQ(job.fields[1].at, 0x1F8u);
  EXPECT_EQ(job.fields[1].counter.first, 0x0050C2000000);
  EXPECT_EQ(job.fields[1].counter.step, 8);
  EXPECT_EQ(job.fields[0].counter.step, 1) << "the default step";
  EXPECT_EQ(job.fields[1].show, FieldShow::Mac);
  EXPECT_EQ(job.fields[0].show, FieldShow::Decimal) << "the default show";
  EXPECT_EQ(job.fields[2].source, JobField::Source::List);
  EXPECT_TRUE(job.fields[3].secret);
  const JobGenerator& keygen = job.generators.at("keygen");
  EXPECT_EQ(keygen.command, (std::vector<std::string>{folder + "keygen", "--product", "acme-probe"}));
  EXPECT_EQ(keygen.timeoutS, 10u);

  // A server is no path; a bare program name is looked up on PATH.
  std::string other = kJob;
  other.replace(other.find("records.sqlite"), 14, "postgresql://flash@db.line1/fwflash");
  other.replace(other.find("./keygen"), 8, "keygen");
  ASSERT_TRUE(ReadJobFile(Write(other), job, error)) << error;
  EXPECT_EQ(job.record, "postgresql://flash@db.line1/fwflash");
  EXPECT_EQ(job.generators.at("keygen").command[0], "keygen");
}

TEST_F(JobFileTest, WhatIsNotAJobIsRefusedWithItsPlace) {
  // The TOML library's own message for a syntax error: the line, and a caret under it.
  const std::string broken = Refusal("product = \"acme\n[[field]]\n");
  EXPECT_NE(broken.find(" 1 | product = \"acme"), std::string::npos) << broken;
  EXPECT_NE(broken.find('^'), std::string::npos) << broken;
  // Unknown keys by name, at every level.
  EXPECT_NE(Refusal("prodcut = \"a\"\n").find("unknown key \"prodcut\""), std::string::npos);
  std::string job = kJob;
  EXPECT_NE(Refusal(job + "timeout = 3\n").find("unknown key \"timeout\" in [generator.keygen]"), std::string::npos)
      << "a key after [generator.keygen] is the generator's";
  job = kJob;
  job.replace(job.find("step = 8"), 8, "stride = 8");
  EXPECT_NE(Refusal(job).find("unknown key \"stride\""), std::string::npos);
  // Values of the wrong kind or outside what they may be.
  const std::pair<std::string, std::string> values[] = {
      {"at = 0x1F0", "at = \"0x1F0\""},        {"format = \"u32le\"", "format = \"u24le\""},
      {"name = \"mac\"", "name = \"MAC\""},    {"name = \"mac\"", "name = \"serial\""},
      {"step = 8", "step = 0"},                {"first = 100000", "first = 300000"},
      {"last = 199999", "last = 5000000000"},  {"generator = \"keygen\"", "generator = \"hsm\""},
      {"format = \"ascii:12\"", "format = \"ascii:0\""}, {"list = \"acme-passwords\"", "counter = { }"},
      {"format = \"ascii:12\"", "format = \"ascii:12\"\nshow = \"hex\""},
      {"show = \"mac\"", "show = \"hexadecimal\""},
  };
  for (const auto& change : values) {
    job = kJob;
    job.replace(job.find(change.first), change.first.size(), change.second);
    const std::string refusal = Refusal(job);
    EXPECT_FALSE(refusal.empty()) << change.second;
    EXPECT_NE(refusal.find(" | "), std::string::npos) << change.second << ": no place in the file\n" << refusal;
  }
  // A MAC is 6 bytes: the show's own line is pointed at.
  job = kJob;
  job.replace(job.find("format = \"u48be\""), 16, "format = \"u32be\"");
  const std::string mac = Refusal(job);
  EXPECT_NE(mac.find("show = \"mac\" needs the format u48le or u48be"), std::string::npos) << mac;
  EXPECT_NE(mac.find(" | show = \"mac\"\n"), std::string::npos) << mac;
  EXPECT_NE(mac.find("~~~~~ this show"), std::string::npos) << mac;
  EXPECT_NE(Refusal(kJob + std::string("[[field]]\nname = \"n\"\nat = 0\nformat = \"u16le\"\n")).find("needs one source"),
            std::string::npos);
}

}  // namespace
