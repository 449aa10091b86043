// What a production job or a list import refuses before anything is sent or imported:
// exit code 2, the reason, not one byte on the port, the list as it was.
#include "tests/cli/cli_jobs_fixture.h"

namespace {

class CliJobsRefusalTest : public JobsTest {
 protected:
  static std::string Field(const std::string& name, const std::string& at, const std::string& format,
                           const std::string& source) {
    return "[[field]]\nname = \"" + name + "\"\nat = " + at + "\nformat = \"" + format + "\"\n" + source + "\n";
  }
  static std::string Counter() { return "counter = { first = 1, last = 100 }"; }
};

TEST_F(CliJobsRefusalTest, AJobThatCannotBeFlashedAsWrittenIsRefusedBeforeAByteIsSent) {
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x180", "u32le", Counter()) +
                                    Field("mac", "0x183", "u48be", Counter()))},
                "the field mac (6 bytes at offset 387) overlaps the field serial");
  ExpectRefused({"--job", FieldsJob(Field("serial", "597", "u32le", Counter()))}, "does not fit in the 600-byte image");
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x10", "u32le", Counter()))}, "not a blank placeholder");
  EXPECT_EQ(RunCli({"--job", FieldsJob(Field("serial", "0x10", "u32le", Counter()), "overwrite = true\n"), "--port",
                    Dir() + "/no-such-port"}).status, 3)
      << "overwrite = true writes over the bytes on purpose";
  // A typo must not pass silently: unknown keys by name, wherever they are.
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x180", "u32le", Counter()), "colour = \"red\"\n")},
                "unknown key \"colour\"");
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x180", "u32le", "counter = { first = 1, lsat = 9 }"))},
                "unknown key \"lsat\"");
  ExpectRefused({"--job", FieldsJob(Field("Serial", "0x180", "u32le", Counter()))}, "[a-z][a-z0-9_]*");
  ExpectRefused({"--job", FieldsJob(Field("key", "0x180", "bytes:4", Counter()))}, "a counter needs a number format");
  ExpectRefused({"--job", FieldsJob(Field("mac", "0x180", "u32be", "show = \"mac\"\n" + Counter()))},
                "show = \"mac\" needs the format u48le or u48be");
  // One place says each setting.
  const std::string job = FieldsJob(Field("serial", "0x180", "u32le", Counter()));
  ExpectRefused({"--job", job, "--record", Db()}, "--record is given in the job and on the command line");
  ExpectRefused({"--job", job, "--firmware", Dir() + "/job/acme.bin"}, "--firmware is given in the job");
  ExpectRefused({"--job", job, "--serial-at", "0x180", "--serial-format", "u32le"}, "--serial-at is given with --job");
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x180", "u32le", Counter()), "protocol = \"2\"\n"), "--protocol", "2"},
                "--protocol is given in the job and on the command line");
  ExpectRefused({"--job", FieldsJob(Field("serial", "0x180", "u32le", Counter()), "protocol = \"3\"\n")},
                "protocol \"3\": give 1, 2 or auto");
  // A syntax error shows the TOML library's message with its line and caret.
  const ProgramResult broken = RunCli({"--job", FieldsJob("[[field]]\nname = \"serial\nat = 1\n")});
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find(" 6 | name = \"serial"), std::string::npos) << broken.err;
  EXPECT_NE(broken.err.find("^"), std::string::npos) << broken.err;
  // A generator needs named ports: each candidate of --port auto would need an output.
  WriteJob("../records.sqlite");
  const ProgramResult automatic = RunCli({"--job", JobPath(), "--port", "auto", "--wait"});
  EXPECT_EQ(automatic.status, 2);
  EXPECT_NE(automatic.err.find("name the stations' ports with --port"), std::string::npos) << automatic.err;
}

TEST_F(CliJobsRefusalTest, AFieldWhoseListIsMissingOrDoesNotMatchIsRefused) {
  const std::string password = Field("password", "0x18A", "ascii:12", "list = \"passwords\"\nsecret = true");
  ExpectRefused({"--job", FieldsJob(password)}, "which is not in the store");
  WriteFile("plain.txt", Bytes("alpha\nbravo\n"));
  ASSERT_EQ(RunCli({"--record", Db(), "--import-list", "passwords", Dir() + "/plain.txt", "--list-kind", "text",
                    "--list-length", "12"}).status, 0);
  ExpectRefused({"--job", FieldsJob(password)}, "the field password is secret, but the list passwords is not");
  ExpectRefused({"--job", FieldsJob(Field("password", "0x18A", "bytes:12", "list = \"passwords\""))},
                "needs a hex list of length 12");
}

TEST_F(CliJobsRefusalTest, AnImportIsAllOrNothingAndNamesTheLineItRefuses) {
  const auto import = [&](const std::string& name, const std::string& text, std::vector<std::string> more) {
    WriteFile(name, Bytes(text));
    std::vector<std::string> args = {"--record", Db(), "--import-list", "macs", Dir() + "/" + name};
    args.insert(args.end(), more.begin(), more.end());
    return RunCli(args);
  };
  const std::vector<std::string> hex6 = {"--list-kind", "hex", "--list-length", "6"};
  const ProgramResult first = import("first.txt", "00:50:C2:00:00:08\r\n\r\n0050c2000010\n00-50-C2-00-00-18\n", hex6);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("3 items added"), std::string::npos) << first.out;
  const std::pair<std::string, std::string> refused[] = {
      {"0050C2000020\n0050C2000028\n00:50:c2:00:00:20\n", "line 3: the same item as line 1"},
      {"0050C2000030\n0050C2000010\n", "line 2: this item is already in the list macs"},
      {"0050C2000030\n0050C20000\n", "line 2: hex of 5 bytes, not 6"},
      {"0050C2000030\n\n0050C20000ZZ\n", "line 3: not hex"},
  };
  for (const auto& file : refused) {
    const ProgramResult run = import("bad.txt", file.first, hex6);
    EXPECT_EQ(run.status, 2) << file.second;
    EXPECT_NE(run.err.find(file.second), std::string::npos) << run.err;
  }
  const ProgramResult other = import("other.txt", "abcdef\n", {"--list-kind", "text", "--list-length", "6"});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.err.find("the list macs is hex of 6, not secret; this import is text of 6"), std::string::npos) << other.err;
  const ProgramResult lists = RunCli({"--record", Db(), "--lists"});
  EXPECT_NE(lists.out.find("macs: hex:6, not secret, 3 items, 0 given, 3 left"), std::string::npos)
      << "nothing of a refused file was imported\n" << lists.out;
  // A CSV column, added in file order after the items there.
  const ProgramResult csv = import("macs.csv", "lot,mac\r\n7,\"0050C2000040\"\r\n7,0050C2000048\r\n", {"--list-kind", "hex",
                                   "--list-length", "6", "--list-column", "mac"});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(SqliteRows(Db(), "SELECT group_concat(item, ' ') FROM (SELECT item FROM fwflash_list_items ORDER BY seq)"),
            (std::vector<std::vector<std::string>>{{"0050c2000008 0050c2000010 0050c2000018 0050c2000040 0050c2000048"}}));
}

}  // namespace
