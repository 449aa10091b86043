// What the transfer in frames costs against the wire: the device layer alone (probe,
// rate, BEGIN, the application's frames, END and RESULT) against fwflash-boot-sim with
// --pace and a USB adapter's latency timer, on a 248 KiB application (the ATmega2560's
// area with an 8 KiB boot section, 256-byte pages). Each line is one whole flash; the
// limit is the image's bytes x 10 bits at the rate, or the pages' time when larger.
//
// Usage: frame_transfer_bench [LATENCY_MS]   (default 1)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "device/frame_protocol.h"
#include "tools/vdev/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kPageSize = 256;
constexpr uint32_t kAppSize = 248 * 1024;
constexpr uint32_t kPages = kAppSize / kPageSize + 1;  // and the valid record's

class NoProgress : public TransferProgress {
 public:
  void ByteAccepted() override {}
};
class NoRates : public RateEvents {
 public:
  void RateChanged(uint32_t, uint32_t, bool) override {}
};
class PrintedFailures : public FailureReporter {
 public:
  void Report(const DeviceFailure& failure) override {
    std::fprintf(stderr, "frame_transfer_bench: %s at %u\n", DeviceStepName(failure.step), failure.offset);
  }
};

std::vector<uint8_t> Image() {
  std::vector<uint8_t> image{'F', 'W', 'B', '1'};
  const uint32_t total = kAppSize + 8;
  for (int shift = 0; shift < 32; shift += 8) image.push_back(static_cast<uint8_t>(total >> shift));
  for (uint32_t i = 0; i < kAppSize; ++i) image.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
  return image;
}

// One flash through a new simulation; its seconds from the probe to the RESULT, or -1.
double TimeFlash(const std::string& dir, uint32_t rate, const std::string& latencyMs, const std::string& pageMs) {
  const std::string link = dir + "/device";
  const std::vector<std::string> args{FWFLASH_BUILD_DIR "/fwflash-boot-sim", "--link", link, "--flash",
                                      dir + "/flash.bin", "--page-size", std::to_string(kPageSize), "--pages",
                                      std::to_string(kPages), "--window-ms", "60000", "--pace", "--latency-ms",
                                      latencyMs, "--page-ms", pageMs};
  std::vector<std::string> all = args;
  if (const char* extra = std::getenv("FWFLASH_BENCH_SIM_ARGS")) all.push_back(extra);
  const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t sim = StartChild(all, {-1, quiet, -1}, RunAheadOfTheLoad);
  close(quiet);
  struct stat found {};
  for (int i = 0; i < 1000 && lstat(link.c_str(), &found) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  PrintedFailures reporter;
  OwnedPort port(OpenPort(link, reporter));
  const std::vector<uint8_t> image = Image();
  DeviceCapabilities caps;
  FrameSettings settings;
  settings.maxBaud = rate;
  NoProgress progress;
  NoRates rates;
  uint32_t baud = 0;
  const Clock::time_point start = Clock::now();
  const bool flashed = port != nullptr && ProbeDevice(port.get(), caps, reporter) &&
                       TransferFrames(port.get(), image.data(), static_cast<uint32_t>(image.size()), caps, settings,
                                      progress, rates, reporter, baud) &&
                       baud == rate;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  port.reset();
  kill(sim, SIGTERM);
  AwaitChildExit(sim, 5000);
  unlink((dir + "/flash.bin").c_str());
  return flashed ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string latencyMs = argc > 1 ? argv[1] : "1";
  char dir[] = "/tmp/fwflash-frame-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  struct Row {
    uint32_t rate;
    const char* pageMs;
  };
  std::printf("248 KiB application in frames, 256-byte pages, 4 in flight, --latency-ms %s\n", latencyMs.c_str());
  std::printf("    rate  page-ms   seconds     limit   limit/time\n");
  int failed = 0;
  for (const Row& row : {Row{921600, "0"}, Row{1000000, "0"}, Row{2000000, "0"}, Row{1000000, "4.5"},
                         Row{2000000, "4.5"}}) {
    const double seconds = TimeFlash(dir, row.rate, latencyMs, row.pageMs);
    const double wire = (kAppSize + 8.0) * 10 / row.rate;
    const double pages = kAppSize / kPageSize * std::atof(row.pageMs) / 1000;
    const double limit = std::max(wire, pages);
    if (seconds < 0) ++failed;
    std::printf("%8u  %7s  %8.3f  %8.3f  %8.3f\n", row.rate, row.pageMs, seconds, limit,
                seconds > 0 ? limit / seconds : 0);
  }
  rmdir(dir);
  return failed == 0 ? 0 : 1;
}
