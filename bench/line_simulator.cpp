// A production line without serial ports: PCS PCs of STATIONS stations each flash
// simulated devices against a record store, each PC with one record keeper and one
// station state writer and each station with its own keeper session, as fwflash-cli's
// stations do. A device takes DEVICE_SECONDS (its progress posted every tenth of it),
// passes with the chance YIELD, and begins and completes its record with a serial number.
//
//   build/bench/line_simulator --record TARGET [--pcs 10] [--stations 24]
//       [--device-seconds 15] [--yield 0.97] [--seconds 60] [--spool-dir DIR] [--changes]
//
// --changes prints every posted change as "change SECONDS PORT SERIAL STATE PERCENT"
// (SECONDS on the monotonic clock, as Python's time.monotonic() reads it), so that a
// watcher can time its way to the page. At the end: the devices, and the times of
// Begin and Complete (each a durable commit), median and 99th percentile.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "records/record_keeper.h"
#include "records/record_time.h"
#include "records/station_state_writer.h"
#include "records/uuid.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string record, spoolDir = "/tmp";
  int pcs = 10, stations = 24;
  double deviceSeconds = 15, yield = 0.97, seconds = 60;
  bool changes = false;
};

class PrintedEvents final : public StoreEvents {
 public:
  void StoreDown(const std::string& message) override { std::fprintf(stderr, "store down: %s\n", message.c_str()); }
  void StoreBack(uint64_t delivered) override {
    std::fprintf(stderr, "store back, %llu delivered\n", static_cast<unsigned long long>(delivered));
  }
  void ListLow(const std::string&, int64_t) override {}  // the simulated line draws from no list
  void ScrubFailed(const std::string&) override {}     // nor gives secrets
  void CountingKept(uint64_t) override {}               // an older store's filling, untimed
  void KeptCounted(int) override {}
};

struct Tally {
  std::mutex mutex;
  std::vector<double> beginMs, completeMs;
  uint64_t passed = 0, failed = 0;
};

std::mutex printing;

void Told(const Options& options, const StationState& state) {
  if (!options.changes) return;
  const double at = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
  std::lock_guard<std::mutex> lock(printing);
  std::printf("change %.6f %s %lld %s %u\n", at, state.port.c_str(),
              static_cast<long long>(state.serial.value_or(-1)), state.state.c_str(), state.percent);
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One station: devices one after the other until the end, each starting where the last
// one's time ended, so that the line's pace does not drift with the store's.
void Station(const Options& options, RecordKeeper& keeper, StationStateWriter& writer,
             const std::string& pc, const std::string& port, unsigned seed, Clock::time_point end,
             Tally& tally) {
  std::unique_ptr<KeeperSession> session = keeper.Session();
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> chance(0, 1);
  const auto tenth = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(options.deviceSeconds / 10));
  // Stations start spread over one device's time, as a line's do.
  Clock::time_point next =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(tenth * 10 * chance(random));
  std::this_thread::sleep_until(next);
  // Every row a station posts here is a change of state or percent, so it is progress too.
  auto row = [&](const char* what, unsigned percent, std::optional<int64_t> serial,
                 const std::string& step) {
    const int64_t now = NowUtcMs();
    return StationState{pc, port, what, percent, serial, step, "", 0x3520737B, now, "", now};
  };
  StationState state = row("waiting", 0, std::nullopt, "");
  writer.Post(state);
  while (Clock::now() < end) {
    DeviceRecord record;
    record.id = NewUuidV4();
    record.startMs = NowUtcMs();
    record.pc = pc;
    record.port = port;
    record.product = "sim-probe";
    record.fwflashVersion = "line-simulator";
    record.firmwareSize = 3612;
    record.firmwareCrc32 = record.imageCrc32 = 0x3520737B;
    auto began = Clock::now();
    if (session->Begin(record) != BeginResult::Begun) return;
    const double beginMs = MsSince(began);
    for (unsigned percent = 0; percent < 100; percent += 10) {
      state = row("flashing", percent, record.serial, "");
      writer.Post(state);
      Told(options, state);
      std::this_thread::sleep_until(next += tenth);
    }
    record.ok = chance(random) < options.yield;
    record.step = record.ok ? "" : "read-byte";
    record.byte = record.ok ? 0 : 1234;
    record.bytes = record.ok ? 3612 : 1234;
    record.endMs = NowUtcMs();
    record.seconds = options.deviceSeconds;
    record.syncAcknowledged = true;
    began = Clock::now();
    session->Complete(record);
    const double completeMs = MsSince(began);
    state = row(record.ok ? "passed" : "failed", 100, record.serial, record.step);
    writer.Post(state);
    Told(options, state);
    std::lock_guard<std::mutex> lock(tally.mutex);
    tally.beginMs.push_back(beginMs);
    tally.completeMs.push_back(completeMs);
    ++(record.ok ? tally.passed : tally.failed);
  }
}

void PrintTimes(const char* what, std::vector<double> ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  std::fprintf(stderr, "  %-10s median %7.2f ms   p99 %7.2f ms   max %7.2f ms\n", what, ms[ms.size() / 2],
               ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back());
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--changes") {
      options.changes = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (name == "--record") options.record = value;
    else if (name == "--spool-dir") options.spoolDir = value;
    else if (name == "--pcs") options.pcs = std::atoi(value);
    else if (name == "--stations") options.stations = std::atoi(value);
    else if (name == "--device-seconds") options.deviceSeconds = std::atof(value);
    else if (name == "--yield") options.yield = std::atof(value);
    else if (name == "--seconds") options.seconds = std::atof(value);
    else return false;
  }
  return !options.record.empty() && options.pcs > 0 && options.stations > 0 &&
         options.deviceSeconds > 0 && options.seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: line_simulator --record TARGET [--pcs N] [--stations M] [--device-seconds S]"
                         " [--yield Y] [--seconds D] [--spool-dir DIR] [--changes]\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  PrintedEvents events;
  const AttemptDraws block{"sim-probe", {{kSerialFieldName, 1, false, std::numeric_limits<int64_t>::max()}}};
  std::vector<std::unique_ptr<RecordKeeper>> keepers;
  std::vector<std::unique_ptr<StationStateWriter>> writers;
  for (int pc = 0; pc < options.pcs; ++pc) {
    const std::string spool = options.spoolDir + "/line-simulator-spool-" + std::to_string(pc) + ".sqlite";
    keepers.push_back(std::make_unique<RecordKeeper>(options.record, spool, block, events));
    std::string error;
    if (!keepers.back()->Open(error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    writers.push_back(std::make_unique<StationStateWriter>(options.record));
  }
  Tally tally;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
  std::vector<std::thread> stations;
  for (int pc = 0; pc < options.pcs; ++pc) {
    char name[32];
    std::snprintf(name, sizeof name, "sim-pc-%02d", pc + 1);
    for (int station = 0; station < options.stations; ++station) {
      const std::string port = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:" + std::to_string(station + 1) + ":1.0-port0";
      stations.emplace_back(Station, std::cref(options), std::ref(*keepers[pc]), std::ref(*writers[pc]),
                            std::string(name), port, static_cast<unsigned>(pc * 1000 + station), end,
                            std::ref(tally));
    }
  }
  for (std::thread& station : stations) station.join();
  for (auto& writer : writers) writer->Stop();
  std::fprintf(stderr, "line simulator: %d PCs x %d stations, %.0f s, %llu devices (%llu passed, %llu failed)\n",
               options.pcs, options.stations, MsSince(start) / 1000,
               static_cast<unsigned long long>(tally.passed + tally.failed),
               static_cast<unsigned long long>(tally.passed), static_cast<unsigned long long>(tally.failed));
  PrintTimes("Begin", tally.beginMs);
  PrintTimes("Complete", tally.completeMs);
  return 0;
}
