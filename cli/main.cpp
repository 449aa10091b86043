// fwflash-cli: the desktop program's conversation without a window, on several serial
// ports at once, for production lines and scripts. See --help and the README.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>
#include <set>
#include <thread>

#include "attempts/attempt_books.h"
#include "cli/cli_options.h"
#include "cli/firmware_source.h"
#include "cli/job_setup.h"
#include "cli/output.h"
#include "cli/record_setup.h"
#include "cli/result_log.h"
#include "cli/standard_output.h"
#include "cli/store_progress.h"
#include "cli/stop_signals.h"
#include "dashboard/line_serving.h"
#include "files/program_file.h"
#include "fwflash_version.h"
#include "payload/payload_block.h"
#include "ports/auto_ports.h"
#include "ports/port_list.h"
#include "records/record_csv.h"
#include "records/record_keeper.h"
#include "records/record_report.h"
#include "records/record_time.h"
#include "signatures/image_signature.h"
#include "stations/auto_stations.h"
#include "stations/station.h"
#include "stations/station_fan_out.h"
#include "stations/station_state_events.h"
#include "toolkit/text_encoding.h"

namespace {

// A port that is not there: how this program lists them.
constexpr char kListPortsHint[] = "fwflash-cli --list-ports lists the ports";

// What --port auto tells besides its stations' events: a port list that cannot be read
// on standard error, and no device answering as a line of its own.
class AutoSearchLines : public AutoSearchEvents {
 public:
  explicit AutoSearchLines(bool json) : json_(json) {}
  void PortsUnlisted(const std::string& error) override { std::fprintf(stderr, "%s\n", error.c_str()); }
  void NoDeviceAnswered(const std::vector<std::string>& candidates, const char* opening) override {
    std::string joined;
    for (const std::string& path : candidates) joined += (joined.empty() ? "" : ", ") + DisplayText(path);
    std::fprintf(json_ ? stderr : stdout, "auto: no device answered the %s (candidates: %s)\n", opening,
                 joined.empty() ? "none" : joined.c_str());
    noneAnswered = true;
  }
  bool noneAnswered = false;

 private:
  const bool json_;
};

// The store's problems while a report is made, on standard error.
class ReportStoreEvents : public StoreEvents {
 public:
  void StoreDown(const std::string& message) override {
    std::fprintf(stderr, "fwflash-cli: %s\n", message.c_str());
  }
  void StoreBack(uint64_t delivered) override {
    std::fprintf(stderr, "fwflash-cli: %s delivered from the spool\n",
                 Counted(delivered, "record").c_str());
  }
  void ListLow(const std::string&, int64_t) override {}  // a report takes no items
  void ScrubFailed(const std::string&) override {}     // nor gives any
  void CountingKept(uint64_t records) override { TellCountingKept(records); }
  void KeptCounted(int percent) override { TellKeptCounted(percent); }
};

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
  std::string error;
  if (!ListSerialPorts(ports, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitDeviceFailed;
  }
  for (const ListedPort& port : ports) std::printf("%s\n", FormatListedPort(port).c_str());
  return kExitAllFlashed;
}

// The records' side of the run: the keeper, and each station's part of it. Refused with
// a reason when the store or the spool cannot be opened, or the serial numbers' options
// do not fit the image.
bool SetUpRecords(const CliOptions& options, const JobFile& job, const FirmwareImage& image,
                  const std::string& programFile, Output& output, std::unique_ptr<RecordKeeper>& keeper,
                  StationRecords& records, std::string& error) {
  if (options.record.empty()) return true;
  records.pc = options.pc.empty() ? HostName() : options.pc;
  records.product = options.product.empty() ? DefaultProduct(programFile) : options.product;
  records.jobSha256 = job.sha256;
  records.job = &job;
  records.generatorEvents = &output;
  RunPlan plan;
  if (!PlanRunFields(options, job, image, records.product, plan, error)) return false;
  records.fields = plan.fields;
  keeper = std::make_unique<RecordKeeper>(options.record,
                                          options.spool.empty() ? DefaultSpoolPath() : options.spool,
                                          plan.draws, output);
  records.keeper = keeper.get();
  return keeper->Open(error);
}

int Flash(const CliOptions& options, const JobFile& job, const std::string& programFile) {
  std::set<std::string> distinct(options.ports.begin(), options.ports.end());
  if (distinct.size() != options.ports.size()) return Refuse("a port is given twice");
  FirmwareImage image;
  std::string error;
  if (!LoadFirmware(options.firmwareFile, options.fromProgram, image, error) ||
      (!options.key.empty() && !CheckImageSignature(image.bytes, options.key, error)) ||
      !ChooseProtocol(options.protocol, image.bytes.data(), image.bytes.size(), image.protocol, error))
    return Refuse(error);
  image.maxBaud = options.maxBaud;
  ResultLog log(image, options.labels);
  if (!options.logFile.empty() && !log.Open(options.logFile, error)) return Refuse(error);

  std::unique_ptr<Output> output = options.json ? MakeJsonOutput(stdout, image, options.labels)
                                                 : MakeTextOutput(stdout, OutputIsTerminal(), image, options.labels);
  std::unique_ptr<RecordKeeper> keeper;
  StationRecords records;
  if (!job.sha256.empty()) output->JobStarted(job.path, job.sha256);
  if (!SetUpRecords(options, job, image, programFile, *output, keeper, records, error)) return Refuse(error);
  StationFanOut events({&log, output.get()});  // the log's line before the output's
  std::optional<StationStateEvents> stateEvents;  // what each station does, for the dashboard
  if (keeper != nullptr) stateEvents.emplace(events, options.record, records.pc, image.crc32, options.labels);
  StationEvents& told = stateEvents ? static_cast<StationEvents&>(*stateEvents) : events;
  StopRequest stop;
  StopOnSignals(stop);
  DashboardServer dashboard;
  if (!options.serve.empty()) {
    if (!StartServing(options.serve, options.record, dashboard, error)) return Refuse(error);
    std::fprintf(stderr, "fwflash-cli: the line's dashboard is at %s\n", dashboard.Url().c_str());
  }

  std::atomic<uint64_t> unusedOutputs{0};
  records.unusedOutputs = &unusedOutputs;
  int exitCode = kExitAllFlashed;
  std::vector<StationTally> tallies;
  StationMode mode(options.wait, options.count);
  mode.missingPortHint = kListPortsHint;
  if (!options.ports.empty() && options.ports.front() == kAutoPort) {
    AutoSearchLines searched(options.json);
    tallies = FlashAuto({options.excludes, mode}, image, records, stop, told, searched);
    if (searched.noneAnswered) exitCode = kExitPortUnusable;
  } else {
    // A thread per station: each runs its own conversations, the ports' time-outs are
    // their own.
    tallies.resize(options.ports.size());
    std::vector<std::thread> stations;
    for (size_t i = 0; i < options.ports.size(); ++i) {
      stations.emplace_back([&, i] {
        tallies[i] = RunStation(options.ports[i], image, mode, records, stop, told);
      });
    }
    for (std::thread& station : stations) station.join();
  }
  for (const StationTally& tally : tallies) exitCode = std::max(exitCode, tally.exitCode);
  std::optional<uint64_t> spooled;
  if (keeper != nullptr) {
    if (keeper->BlockExhausted()) {
      output->SerialsUsedUp(keeper->ExhaustedReason() + ": no device was started after the last one");
    }
    if (unusedOutputs > 0) output->GeneratorUnused(unusedOutputs);
    spooled = keeper->EndRun();
  }
  if (!options.ports.empty()) output->Summary(tallies, exitCode, spooled);  // none when only serving
  if (!options.serve.empty()) ServeUntilStopped(dashboard, stop);
  return exitCode;
}

// What the records say: delivered from the spool first, then summed up or written as CSV.
int Report(const CliOptions& options) {
  int64_t since = std::numeric_limits<int64_t>::min(), until = std::numeric_limits<int64_t>::max();
  std::string error;
  if (!options.since.empty() && !ParseTimeBound(options.since, since, error)) return Refuse("--since: " + error);
  if (!options.until.empty() && !ParseTimeBound(options.until, until, error)) return Refuse("--until: " + error);
  ReportStoreEvents events;
  RecordKeeper keeper(options.record, options.spool.empty() ? DefaultSpoolPath() : options.spool,
                      std::nullopt, events);
  if (!keeper.Open(error)) return Refuse(error);
  std::unique_ptr<RecordStore> store = OpenRecordStore(options.record, error, nullptr, &events);
  if (store == nullptr) return Refuse(error);
  if (options.csv) {
    SetBinaryOutput();  // the CSV's CRLF line ends as they are
    const auto write = [](const std::string& row) { std::fwrite(row.data(), 1, row.size(), stdout); };
    if (!WriteRecordsCsv(*store, since, until, write, error)) return Refuse(error);
    return kExitAllFlashed;
  }
  RecordSummary summary;
  if (!store->Summarize(since, until, summary, error, false)) return Refuse(error);  // no hours shown
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  if (!store->ReadStock(since, until, lists, counters, error)) return Refuse(error);
  const std::string text = FormatReport(summary, since, until) + FormatStock(lists, counters);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitAllFlashed;
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  int exitCode = kExitAllFlashed;
  if (!ParseCliOptions(argc, argv, options, exitCode)) return exitCode;
  options.record = Utf8Argument(options.record);
  options.spool = Utf8Argument(options.spool);
  options.job = Utf8Argument(options.job);
  if (options.version) return ShowVersion(argv[0]);
  if (options.listPorts) return ListPorts();
  JobFile job;
  std::string error;
  if (!LoadJob(options, job, error)) return Refuse(error);
  if (options.record.empty() && (options.report || options.lists || !options.importList.empty()))
    return Refuse("the job names no store (record)");
  if (!options.importList.empty()) return ImportList(options);
  if (options.lists) return ShowLists(options);
  if (options.report) return Report(options);
  return Flash(options, job, ProgramFile(argv[0]));
}
