// fwflash-cli: the desktop program's conversation without a window, on several serial
// ports at once, for production lines and scripts. See --help and the README.
#include <algorithm>
#include <cstdio>
#include <set>
#include <thread>

#include "cli/auto_ports.h"
#include "cli/auto_stations.h"
#include "cli/cli_options.h"
#include "cli/firmware_source.h"
#include "cli/output.h"
#include "cli/port_list.h"
#include "cli/result_log.h"
#include "cli/station.h"
#include "cli/stop_signals.h"
#include "files/program_file.h"
#include "fwflash_version.h"
#include "payload/payload_block.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Whether standard output is a terminal that takes the escape codes of the live lines.
bool OutputIsTerminal() {
#ifdef _WIN32
  HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(console, &mode) &&
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

int Refuse(const std::string& reason) {
  std::fprintf(stderr, "fwflash-cli: %s\n", reason.c_str());
  return kExitBadInput;
}

int ShowVersion(const char* startedAs) {
  FirmwareImage image;
  std::string error;
  if (!LoadFirmware("", "", image, error)) return Refuse(error);
  const std::string name = VersionName(ProgramFile(startedAs), std::string("fwflash-cli ") + FWFLASH_VERSION);
  std::printf("%s, firmware %zu bytes, CRC-32 0x%08X\n", name.c_str(), image.bytes.size(), image.crc32);
  return kExitAllFlashed;
}

int ListPorts() {
  std::vector<ListedPort> ports;
  if (!ListSerialPorts(ports)) return kExitDeviceFailed;
  for (const ListedPort& port : ports) std::printf("%s\n", FormatListedPort(port).c_str());
  return kExitAllFlashed;
}

// The output, and the log beside it.
class Events : public StationEvents {
 public:
  Events(Output& output, ResultLog& log, const FirmwareImage& image)
      : output_(output), log_(log), image_(image) {}
  void DeviceStarted(const std::string& port) override { output_.DeviceStarted(port); }
  void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) override {
    output_.DeviceProgress(port, accepted, size);
  }
  void DeviceFinished(const StationResult& result) override {
    log_.Append(result, image_);
    output_.DeviceFinished(result);
  }
  void PortProblem(const std::string& port, const std::string& message) override {
    output_.PortProblem(port, message);
  }

 private:
  Output& output_;
  ResultLog& log_;
  const FirmwareImage& image_;
};

int Flash(const CliOptions& options) {
  std::set<std::string> distinct(options.ports.begin(), options.ports.end());
  if (distinct.size() != options.ports.size()) return Refuse("a port is given twice");
  FirmwareImage image;
  std::string error;
  if (!LoadFirmware(options.firmwareFile, options.fromProgram, image, error)) return Refuse(error);
  ResultLog log;
  if (!options.logFile.empty() && !log.Open(options.logFile, error)) return Refuse(error);

  std::unique_ptr<Output> output = options.json ? MakeJsonOutput(stdout, image)
                                                 : MakeTextOutput(stdout, OutputIsTerminal(), image);
  Events events(*output, log, image);
  StopRequest stop;
  StopOnSignals(stop);
  if (options.ports.front() == kAutoPort) return FlashAuto(options, image, stop, events, *output);

  // A thread per station: each runs its own conversations, the ports' time-outs are
  // their own.
  std::vector<StationTally> tallies(options.ports.size());
  std::vector<std::thread> stations;
  for (size_t i = 0; i < options.ports.size(); ++i) {
    stations.emplace_back([&, i] {
      tallies[i] = RunStation(options.ports[i], image, {options.wait, options.count}, stop, events);
    });
  }
  for (std::thread& station : stations) station.join();
  int exitCode = kExitAllFlashed;
  for (const StationTally& tally : tallies) exitCode = std::max(exitCode, tally.exitCode);
  output->Summary(tallies, exitCode);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  int exitCode = kExitAllFlashed;
  if (!ParseCliOptions(argc, argv, options, exitCode)) return exitCode;
  if (options.version) return ShowVersion(argv[0]);
  if (options.listPorts) return ListPorts();
  return Flash(options);
}
