// fwflash-cli with records and serial numbers, from the outside: the program running in
// the background, its result events read back, the records read from the store itself
// (the sqlite3 shell, psql) and from `--report --csv` (parsed by Python's csv module),
// and the image each device should have received.
//
//   BackgroundCli                     fwflash-cli running on its own (background_program.h)
//   AwaitCondition(test, limitMs)     polls until test() holds; false at the limit
//   AwaitText(path, text, limitMs)    until the file holds the text
//   Contents(path)                    a file's bytes
//   Device                            one device's result: port, ok, serial
//   TextResults(out)                  the devices of text output's result lines
//   JsonResults(out)                  the devices of --json output's result events
//   SqliteRows(db, sql)               rows of the sqlite3 shell, fields split at '|'
//   CsvRows(path)                     a CSV file as Python's csv module reads it
//   BaseImage(), Stamped(serial)      the 600-byte test image with its blank
//                                     placeholder, and the image one device must get
//   AsText(bytes), Crc32Text(bytes)   bytes as a string to compare; their CRC as CSV has it
//   RecordsTest                       CliTest with these, a store and spool per test,
//                                     and devices that serve for minutes
#pragma once

#include <poll.h>

#include <chrono>
#include <functional>
#include <optional>
#include <regex>
#include <thread>

#include "device/crc32.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/background_program.h"
#include "tests/support/pseudo_terminal_pair.h"

inline bool AwaitCondition(const std::function<bool()>& test, int limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (test()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

inline std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline bool AwaitText(const std::string& path, const std::string& text, int limitMs) {
  return AwaitCondition([&] { return Contents(path).find(text) != std::string::npos; }, limitMs);
}

struct Device {
  std::string port;
  bool ok = false;
  std::optional<int64_t> serial;
  bool operator<(const Device& other) const {
    return std::tie(port, serial, ok) < std::tie(other.port, other.serial, other.ok);
  }
  bool operator==(const Device& other) const {
    return port == other.port && ok == other.ok && serial == other.serial;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Device& device) {
  return out << device.port << (device.ok ? " ok" : " failed") << " serial "
             << (device.serial ? std::to_string(*device.serial) : "none");
}

// "PORT: ok, 600 bytes in 0.09 s, serial 7000" and
// "PORT: failed at byte K of N, serial 7000: messages".
inline std::vector<Device> TextResults(const std::string& out) {
  static const std::regex line(R"(^(.+?): (ok, \d+ bytes in [0-9.]+ s|failed at byte \d+ of \d+)(, serial (\d+))?.*$)");
  std::vector<Device> devices;
  std::istringstream in(out);
  std::smatch match;
  for (std::string text; std::getline(in, text);) {
    if (!std::regex_match(text, match, line)) continue;
    Device device{match[1], match[2].str().rfind("ok", 0) == 0, std::nullopt};
    if (match[4].matched) device.serial = std::stoll(match[4]);
    devices.push_back(device);
  }
  return devices;
}

// The result events of --json output, in order; a line cut off by a kill is left out.
inline std::vector<Device> JsonResults(const std::string& out) {
  std::vector<Device> devices;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_discarded() || event["event"] != "result") continue;
    Device device{event["port"], event["ok"], std::nullopt};
    if (!event["serial"].is_null()) device.serial = std::stoll(event["serial"].get<std::string>());
    devices.push_back(device);
  }
  return devices;
}

inline std::vector<std::vector<std::string>> SqliteRows(const std::string& db, const std::string& sql) {
  const ProgramResult run = RunProgram({"/usr/bin/sqlite3", "-batch", "-bail", db, sql});
  EXPECT_EQ(run.status, 0) << sql << ": " << run.err;
  return SplitRows(run.out);
}

inline std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
  const char* script =
      "import csv, json, sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
      "    print(json.dumps(list(csv.reader(f, strict=True))))\n";
  const ProgramResult run = RunProgram({"/usr/bin/python3", "-c", script, path});
  EXPECT_EQ(run.status, 0) << run.err;
  const nlohmann::json rows = nlohmann::json::parse(run.out, nullptr, false);
  if (rows.is_discarded()) return {};
  return rows.get<std::vector<std::vector<std::string>>>();
}

const char kCsvHeader[] =
    "id,start,end,pc,port,product,fwflash_version,firmware_size,firmware_crc32,image_crc32,"
    "serial,result,step,byte,bytes,seconds,sync_acknowledged,messages,job_sha256,fields,protocol,baud";

constexpr size_t kImageSize = 600;
constexpr size_t kSerialAt = 0x123;  // a u32le inside the blank placeholder 0x120..0x12B

// Code-like bytes all round a placeholder of 0xFF, so that a number written a byte off,
// or anything else changed, shows in a device's data.
inline std::vector<uint8_t> BaseImage() {
  std::vector<uint8_t> image(kImageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(0x11 + i * 37 % 200);
  std::fill(image.begin() + 0x120, image.begin() + 0x12C, 0xFF);
  return image;
}

inline std::vector<uint8_t> Stamped(int64_t serial) {
  std::vector<uint8_t> image = BaseImage();
  for (int i = 0; i < 4; ++i) image[kSerialAt + i] = static_cast<uint8_t>(serial >> (8 * i));
  return image;
}

inline std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline std::string Crc32Text(const std::vector<uint8_t>& bytes) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", Crc32(bytes.data(), bytes.size()));
  return text;
}

class RecordsTest : public CliTest {
 protected:
  void SetUp() override { ASSERT_FALSE(Dir().empty()); }

  std::string Db() const { return Dir() + "/records.sqlite"; }
  std::string Spool() const { return Dir() + "/spool.sqlite"; }
  std::string Image() {
    const std::string path = Dir() + "/base.bin";
    if (Contents(path).empty()) WriteFile("base.bin", BaseImage());
    return path;
  }
  std::string DataPrefix(size_t i) const { return Dir() + "/data" + std::to_string(i); }
  std::string DataFile(size_t i, int conversation) const {
    return DataPrefix(i) + "-" + std::to_string(conversation) + ".bin";
  }
  std::string DeviceReport(size_t i) const { return Dir() + "/report" + std::to_string(i); }

  // fwflash-cli on a raw terminal: exit code 2, the reason, and not one byte on the port.
  void ExpectRefused(std::vector<std::string> args, const std::string& reason) {
    PseudoTerminalPair port;
    ASSERT_TRUE(port.Ok());
    args.insert(args.begin(), {"--port", ttyname(port.Terminal())});
    const ProgramResult run = RunCli(args);
    std::string shown;
    for (const std::string& arg : args) shown += " " + arg;
    EXPECT_EQ(run.status, 2) << shown << "\n" << run.out << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << shown << "\n" << run.err;
    pollfd sent = {port.Device(), POLLIN, 0};
    EXPECT_EQ(poll(&sent, 1, 0), 0) << "bytes reached the port:" << shown;
  }

  // A board at Link(i) that is plugged in again after each complete conversation; it
  // asks for the test image's size and keeps each conversation's data and its report.
  void StartBoard(size_t i, std::vector<std::string> more = {}) {
    std::vector<std::string> options = {"--replug", "30", "--size", std::to_string(kImageSize),
                                        "--data", DataPrefix(i), "--report", DeviceReport(i),
                                        "--link", Link(i), "--quiet", "--timeout", "900"};
    options.insert(options.end(), more.begin(), more.end());
    devices_.push_back(std::make_unique<VdevProcess>());
    ASSERT_TRUE(devices_.back()->Start(options)) << devices_.back()->Error();
  }

  // The options of a run with serial numbers u32le in the placeholder, on the stations
  // first.., in the test's SQLite file or in record.
  std::vector<std::string> SerialRun(size_t first, size_t stations, std::vector<std::string> more,
                                     const std::string& record = "") {
    std::vector<std::string> args = {"--firmware", Image(), "--record", record.empty() ? Db() : record,
                                     "--spool", Spool(),
                                     "--product", "probe", "--serial-at", std::to_string(kSerialAt),
                                     "--serial-format", "u32le"};
    for (size_t i = first; i < first + stations; ++i) args.insert(args.end(), {"--port", Link(i)});
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // The devices as `--report --csv` lists them, its header and raw text checked.
  std::vector<std::vector<std::string>> ReportCsv(const std::string& record) {
    const ProgramResult run = RunCli({"--report", "--csv", "--record", record, "--spool", Spool()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(std::string(kCsvHeader) + "\r\n", 0), 0u) << "no byte-order mark, CRLF";
    const std::string path = WriteFile("report.csv", std::vector<uint8_t>(run.out.begin(), run.out.end()));
    std::vector<std::vector<std::string>> rows = CsvRows(path);
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
  }

  static Device CsvDevice(const std::vector<std::string>& row) {
    Device device{row.at(4), row.at(11) == "ok", std::nullopt};
    if (!row.at(10).empty()) device.serial = std::stoll(row.at(10));
    return device;
  }

  std::string Out(const std::string& name = "out") const { return Dir() + "/" + name; }
  std::string Err(const std::string& name = "out") const { return Dir() + "/" + name + ".err"; }
};
