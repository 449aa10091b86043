// Records and serial numbers on a private PostgreSQL server over TCP, with a user whose
// password is in the URI: flashed, refused for a wrong password, run while the server
// is down, reported; the password shows up nowhere.
#include <poll.h>

#include "tests/cli/cli_records_fixture.h"
#include "tests/support/postgres_server.h"
#include "tests/support/pseudo_terminal_pair.h"

namespace {

// The password's distinctive part, found whether a text shows it encoded or decoded.
const char kSecretMark[] = "Qz8Lw";
const char kSecretInUri[] = "Qz8Lw%40kV3r%2Fp";  // Qz8Lw@kV3r/p

class CliRecordsPostgresTest : public RecordsTest {
 protected:
  void SetUp() override {
    RecordsTest::SetUp();
    ASSERT_TRUE(server_.Start(true)) << server_.Failure();
    server_.Query("CREATE ROLE flasher LOGIN PASSWORD 'Qz8Lw@kV3r/p'");
    server_.Query("CREATE DATABASE line OWNER flasher");
    const std::string& admin = server_.Uri();  // postgresql://postgres@127.0.0.1:PORT/postgres
    port_ = admin.substr(admin.rfind(':') + 1, admin.rfind('/') - admin.rfind(':') - 1);
  }

  // The line's database as the user flasher, with this password in the URI.
  std::string Target(const std::string& password = kSecretInUri) const {
    return "postgresql://flasher:" + password + "@127.0.0.1:" + port_ + "/line";
  }

  // Every text the tests made holds no trace of the password.
  void ExpectNoSecretIn(const std::string& what, const std::string& text) {
    EXPECT_EQ(text.find(kSecretMark), std::string::npos) << what << ":\n" << text;
  }

  PostgresServer server_;
  std::string port_;
};

TEST_F(CliRecordsPostgresTest, APasswordInTheUriShowsUpNowhere) {
  const std::string log = Dir() + "/flash.log";
  StartBoard(0);

  // Flashed over TCP, with serial numbers.
  BackgroundCli flash(SerialRun(0, 1, {"--wait", "--count", "2", "--json", "--log", log}, Target()),
                      Out("flash"), Err("flash"));
  ASSERT_EQ(flash.Exit(300000), 0) << Contents(Out("flash")) << Contents(Err("flash"));
  std::vector<Device> devices = JsonResults(Contents(Out("flash")));
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].serial, 1);
  EXPECT_EQ(devices[1].serial, 2);

  // A wrong password is refused before anything is sent, and not shown either.
  {
    PseudoTerminalPair port;
    const ProgramResult wrong = RunCli({"--port", ttyname(port.Terminal()), "--firmware", Image(), "--record",
                                        Target("Qz8LwWrong"), "--spool", Spool()});
    EXPECT_EQ(wrong.status, 2) << wrong.out << wrong.err;
    EXPECT_NE(wrong.err.find("flasher"), std::string::npos) << wrong.err;
    ExpectNoSecretIn("a wrong password's refusal", wrong.out + wrong.err);
    pollfd sent = {port.Device(), POLLIN, 0};
    EXPECT_EQ(poll(&sent, 1, 0), 0) << "bytes reached the port";
  }

  // The server down: a device without a serial number is flashed and its record spooled;
  // the messages say why, and the report cannot be made.
  ASSERT_TRUE(server_.Pause());
  BackgroundCli down({"--port", Link(0), "--firmware", Image(), "--record", Target(), "--spool", Spool(),
                      "--wait", "--count", "1", "--log", log},
                     Out("down"), Err("down"));
  ASSERT_EQ(down.Exit(300000), 0) << Contents(Out("down")) << Contents(Err("down"));
  EXPECT_NE(Contents(Out("down")).find("; records wait in the spool until the store answers"), std::string::npos) << Contents(Out("down"));
  EXPECT_NE(Contents(Out("down")).find("1 record waits in the spool"), std::string::npos) << Contents(Out("down"));
  const ProgramResult report = RunCli({"--report", "--record", Target(), "--spool", Spool()});
  EXPECT_NE(report.status, 0);
  EXPECT_NE(report.err.find("127.0.0.1"), std::string::npos) << report.err;
  const ProgramResult spool = RunProgram({"/usr/bin/strings", "-a", Spool()});
  EXPECT_NE(spool.out.find(Link(0)), std::string::npos) << "the record waits in the spool";

  // A station with serial numbers started while the server is down syncs no board
  // until it is back: its board's first conversation is its flash. The spool waiting
  // from before is delivered on the way.
  StartBoard(1);
  BackgroundCli waiting(SerialRun(1, 1, {"--wait", "--count", "1", "--json"}, Target()), Out("waiting"),
                        Err("waiting"));
  ASSERT_TRUE(AwaitText(Out("waiting"), R"("event":"store","ok":false)", 300000)) << Contents(Out("waiting"));
  ASSERT_TRUE(server_.Resume());
  ASSERT_EQ(waiting.Exit(300000), 0) << Contents(Out("waiting")) << Contents(Err("waiting"));
  const std::vector<Device> late = JsonResults(Contents(Out("waiting")));
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].serial, 3);
  EXPECT_NE(Contents(Out("waiting")).find(R"("event":"store","ok":true,"delivered":1)"), std::string::npos)
      << Contents(Out("waiting"));
  EXPECT_NE(Contents(DeviceReport(1)).find("conversation=1\n"), std::string::npos) << Contents(DeviceReport(1));

  const std::vector<std::vector<std::string>> rows = ReportCsv(Target());
  EXPECT_EQ(rows.size(), 4u);
  const ProgramResult csv = RunCli({"--report", "--csv", "--record", Target(), "--spool", Spool()});
  const auto stored = server_.Query("SELECT r::text FROM fwflash_records r", "line");
  EXPECT_EQ(stored.size(), 4u);
  std::string records;
  for (const auto& row : stored) records += row.at(0) + "\n";

  for (const std::string name : {"flash", "down", "waiting"}) {
    ExpectNoSecretIn(name + " output", Contents(Out(name)));
    ExpectNoSecretIn(name + " errors", Contents(Err(name)));
  }
  ExpectNoSecretIn("the down report's errors", report.out + report.err);
  ExpectNoSecretIn("the log", Contents(log));
  ExpectNoSecretIn("the CSV report", csv.out + csv.err);
  ExpectNoSecretIn("the records", records);
  for (const std::string& file : {Spool(), Spool() + "-wal"})
    ExpectNoSecretIn("the spool", RunProgram({"/usr/bin/strings", "-a", file}).out);
  ExpectNoSecretIn("the spool before its delivery", spool.out);
}

}  // namespace
