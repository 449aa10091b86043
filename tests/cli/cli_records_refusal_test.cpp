// What fwflash-cli refuses before it sends anything when records or serial numbers are
// asked for: exit code 2, a reason, and not one byte on the port (a raw pseudo-terminal
// whose far end the test reads).
#include <fcntl.h>
#include <poll.h>

#include "tests/cli/cli_records_fixture.h"
#include "tests/support/pseudo_terminal_pair.h"

namespace {

class CliRecordsRefusalTest : public RecordsTest {
 protected:
  std::vector<std::string> Serials(const std::string& at, const std::string& format,
                                   std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--firmware", Image(), "--record", Db(), "--spool", Spool(),
                                     "--serial-at", at, "--serial-format", format};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
};

TEST_F(CliRecordsRefusalTest, SerialNumbersThatCannotBeGivenAreRefusedBeforeAnythingIsSent) {
  ExpectRefused({"--firmware", Image(), "--serial-at", "0x123", "--serial-format", "u32le"}, "--record");
  // Where the number does not fit in the image: one byte past its end, at its end, and
  // an offset whose end would wrap round.
  ExpectRefused(Serials("597", "u32le"), "597");
  ExpectRefused(Serials("0x258", "u16le"), "600");
  ExpectRefused(Serials("18446744073709551615", "u16be"), "18446744073709551615");
  ExpectRefused(Serials("0x240", "dec:25"), "does not fit");
  ExpectRefused(Serials("0x10000000000000000", "u16le"), "0x10000000000000000");
  // Numbers the format or a signed 64-bit store cannot hold, and a block upside down.
  ExpectRefused(Serials("0x120", "u16le", {"--serial-first", "65536"}), "65536");
  ExpectRefused(Serials("0x120", "u16le", {"--serial-last", "65536"}), "65536");
  ExpectRefused(Serials("0x120", "dec:2", {"--serial-first", "100"}), "100");
  ExpectRefused(Serials("0x120", "hex:3", {"--serial-last", "4096"}), "4096");
  ExpectRefused(Serials("0x120", "u64le", {"--serial-last", "9223372036854775808"}), "9223372036854775808");
  ExpectRefused(Serials("0x120", "u64be", {"--serial-first", "-1"}), "-1");
  ExpectRefused(Serials("0x120", "u32le", {"--serial-first", "10", "--serial-last", "9"}), "above");
  ExpectRefused(Serials("0x120", "u48le", {"--serial-first", "1e3"}), "1e3");
  ExpectRefused(Serials("0x120", "u24le"), "u24le");
  ExpectRefused(Serials("0x120", "dec:0"), "dec:0");
  ExpectRefused(Serials("0x120", "hex:33"), "hex:33");
}

TEST_F(CliRecordsRefusalTest, APlaceholderThatIsNotBlankIsRefusedUnlessOverwriteIsAsked) {
  ExpectRefused(Serials("0x11C", "u32le"), "blank");  // code bytes
  ExpectRefused(Serials("0x11E", "u32le"), "blank");  // half code, half placeholder
  std::vector<uint8_t> mixed = BaseImage();
  mixed[0x120] = mixed[0x121] = 0x00;  // 00 00 FF FF: neither all 0x00 nor all 0xFF
  const std::string mixedImage = WriteFile("mixed.bin", mixed);
  std::vector<std::string> args = Serials("0x120", "u32le");
  args[1] = mixedImage;
  ExpectRefused(args, "blank");

  // Asked for on purpose: the number goes over the code bytes, and only there.
  StartBoard(0);
  const ProgramResult run = RunCli({"--port", Link(0), "--firmware", Image(), "--record", Db(), "--spool",
                                    Spool(), "--serial-at", "0x11C", "--serial-format", "u32be",
                                    "--serial-first", "305419896", "--serial-overwrite"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(", serial 305419896"), std::string::npos) << run.out;
  ASSERT_TRUE(AwaitText(DeviceReport(0), "complete_conversations=1", 20000));
  std::vector<uint8_t> expected = BaseImage();
  const uint8_t number[] = {0x12, 0x34, 0x56, 0x78};
  std::copy(number, number + 4, expected.begin() + 0x11C);
  EXPECT_TRUE(Contents(DataFile(0, 1)) == std::string(expected.begin(), expected.end()));
}

TEST_F(CliRecordsRefusalTest, AStoreOrSpoolThatCannotBeUsedIsRefused) {
  const std::string noFolder = Dir() + "/no-such-folder/records.sqlite";
  ExpectRefused({"--firmware", Image(), "--record", noFolder, "--spool", Spool()}, "no-such-folder");
  ExpectRefused({"--firmware", Image(), "--record", "sqlite:" + noFolder, "--spool", Spool()}, "no-such-folder");
  ExpectRefused({"--firmware", Image(), "--record", noFolder, "--spool", Spool(), "--serial-at", "0x123",
                 "--serial-format", "u32le"},
                "no-such-folder");
  const std::string notADatabase = WriteFile("not-a-database", std::vector<uint8_t>(4096, 'x'));
  ExpectRefused({"--firmware", Image(), "--record", notADatabase, "--spool", Spool()}, "not-a-database");
  const std::string file = WriteFile("a-file", {1});
  ExpectRefused({"--firmware", Image(), "--record", Db(), "--spool", file + "/spool.sqlite"}, "a-file");

  // A store made by a later fwflash, its schema versions on.
  ASSERT_EQ(RunCli({"--report", "--record", Db(), "--spool", Spool()}).status, 0);
  SqliteRows(Db(), "INSERT INTO fwflash_schema (version) VALUES (99)");
  ExpectRefused({"--firmware", Image(), "--record", Db(), "--spool", Spool()}, "version 99");
  ExpectRefused(Serials("0x123", "u32le"), "version 99");
  const ProgramResult report = RunCli({"--report", "--csv", "--record", Db(), "--spool", Spool()});
  EXPECT_EQ(report.status, 2);
  EXPECT_NE(report.err.find("version 99"), std::string::npos) << report.err;
  EXPECT_EQ(SqliteRows(Db(), "SELECT max(version) FROM fwflash_schema").at(0).at(0), "99") << "left as it was";
}

}  // namespace
