// What the conversation costs the host, against fwflash-vdev on a pseudo-terminal.
//
// Full speed: microseconds per image byte of TransferImage, side by side with a bare
// loop of the same system calls on the same terminal (read the request, write 1, drain,
// read the echo), which is the floor on this machine. The two alternate, round by round,
// so that both see the same load; the medians are compared.
// 9600-baud line time: the whole built-in image against the wire limit, 3 characters of
// 1.0417 ms per byte, with the bare loop beside it again.
//
// Usage: transfer_bench [ROUNDS]   (default 15)
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device/download_protocol.h"
#include "payload/payload_block.h"
#include "tools/vdev/vdev_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kCharacterMs = 10 * 1000.0 / 9600;

class NoProgress : public TransferProgress {
 public:
  void ByteAccepted() override {}
};

// A failure shows as a time of -1; its words do not matter here.
class NoReports : public FailureReporter {
 public:
  void Report(const DeviceFailure&) override {}
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// One conversation through the device link; the seconds TransferImage took, or -1.
double TimeTransferImage() {
  NoReports reporter_;
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  if (port == nullptr) return -1;
  NoProgress progress;
  double seconds = -1;
  if (Handshake(port, reporter_)) {
    auto start = Clock::now();
    if (TransferImage(port, Payload.FirmwareImage, Payload.FirmwareSize, progress, reporter_)) {
      seconds = Seconds(Clock::now() - start);
    }
  }
  ClosePort(port);
  return seconds;
}

// The same turn with nothing but the system calls: false when the device disagrees.
bool BareTurn(int fd, uint8_t byte) {
  uint8_t request, echo;
  return read(fd, &request, 1) == 1 && write(fd, &byte, 1) == 1 && tcdrain(fd) == 0 &&
         read(fd, &echo, 1) == 1 && echo == byte;
}

// One conversation as a bare loop; the seconds of its image and end rounds, or -1.
double TimeBareLoop() {
  int fd = open(Com1Path(), O_RDWR | O_NOCTTY);
  termios settings{};
  if (fd < 0 || tcgetattr(fd, &settings) != 0) return -1;
  cfmakeraw(&settings);
  cfsetspeed(&settings, B9600);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = protocol::kTransferTimeoutMs / 100;
  uint8_t sync = protocol::kSync, answer = 0;
  bool ok = tcsetattr(fd, TCSANOW, &settings) == 0 && write(fd, &sync, 1) == 1 &&
            read(fd, &answer, 1) == 1 && answer == protocol::kSyncAck;
  auto start = Clock::now();
  for (uint32_t i = 0; ok && i < Payload.FirmwareSize; ++i) ok = BareTurn(fd, Payload.FirmwareImage[i]);
  for (int round = 0; ok && round < protocol::kEndMarkerRounds; ++round) {
    ok = BareTurn(fd, protocol::kEndMarker);
  }
  double seconds = Seconds(Clock::now() - start);
  close(fd);
  return ok ? seconds : -1;
}

bool StartDevice(VdevProcess& device, std::vector<std::string> options) {
  options.insert(options.end(), {"--quiet", "--size", std::to_string(Payload.FirmwareSize)});
  if (!device.Start(options)) {
    std::fprintf(stderr, "transfer_bench: %s\n", device.Error().c_str());
    return false;
  }
  setenv("FWFLASH_COM1", device.TerminalPath().c_str(), 1);
  return true;
}

bool FullSpeed(int rounds) {
  VdevProcess device;
  if (!StartDevice(device, {})) return false;
  std::vector<double> bare, transfer;
  for (int round = 0; round < rounds; ++round) {
    double b = TimeBareLoop(), t = TimeTransferImage();
    if (b < 0 || t < 0) {
      std::fprintf(stderr, "transfer_bench: a conversation failed\n");
      return false;
    }
    bare.push_back(b * 1e6 / Payload.FirmwareSize);
    transfer.push_back(t * 1e6 / Payload.FirmwareSize);
  }
  std::printf("Full speed, %u-byte image, %d alternating rounds:   median  fastest\n",
              Payload.FirmwareSize, rounds);
  std::printf("  bare loop (read, write 1, tcdrain, read)  %8.2f %8.2f us/byte\n", Median(bare), Fastest(bare));
  std::printf("  TransferImage                             %8.2f %8.2f us/byte\n", Median(transfer), Fastest(transfer));
  std::printf("  ratio                                     %8.3f %8.3f\n", Median(transfer) / Median(bare),
              Fastest(transfer) / Fastest(bare));
  return true;
}

bool AtLineSpeed() {
  VdevProcess device;
  if (!StartDevice(device, {"--baud-emulation"})) return false;
  double bare = TimeBareLoop();
  double seconds = TimeTransferImage();
  if (seconds < 0 || bare < 0) {
    std::fprintf(stderr, "transfer_bench: the conversation failed\n");
    return false;
  }
  double limit = 3 * kCharacterMs * Payload.FirmwareSize / 1000;
  std::printf("9600-baud line time, whole image (its end rounds included):   seconds  / limit\n");
  std::printf("  wire limit 3 x %.4f ms x %u               %8.3f\n", kCharacterMs, Payload.FirmwareSize, limit);
  std::printf("  bare loop                                 %8.3f %8.4f\n", bare, bare / limit);
  std::printf("  TransferImage                             %8.3f %8.4f\n", seconds, seconds / limit);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: transfer_bench [ROUNDS]\n");
    return 2;
  }
  setenv("FWFLASH_BUILD_DIR", FWFLASH_BUILD_DIR, 0);
  return FullSpeed(rounds) && AtLineSpeed() ? 0 : 1;
}
