// The host's rules for what the simulation cannot make happen, against a device that the
// test plays on a pseudo-terminal frame by frame, as the reference bootloader answers:
// a frame refused three times, a device that falls silent, the NAK "lost" that a damaged
// frame's followers draw, and two rates in a row that the device does not hear at.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/frame_codec.h"
#include "device/frame_protocol.h"
#include "device/kernel_termios_linux.h"
#include "tests/device/played_port_fixture.h"
#include "texts/device_messages.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kPage = 16;

class NoSteps : public TransferProgress {
 public:
  void ByteAccepted() override {}
  void FrameAccepted(uint32_t) override { ++frames; }
  int frames = 0;
};

class RateLog : public RateEvents {
 public:
  void RateChanged(uint32_t, uint32_t to, bool taken) override { changes.emplace_back(to, taken); }
  std::vector<std::pair<uint32_t, bool>> changes;
};

// The device's side: every whole frame the host sends goes to answer(), whose frames go
// back. DATA frames are counted per offset.
class PlayedDevice {
 public:
  using Answer = std::function<void(const Frame&, Bytes& reply)>;

  PlayedDevice(int fd, Answer answer) : fd_(fd), answer_(std::move(answer)), thread_([this] { Run(); }) {}
  ~PlayedDevice() {
    done_ = true;
    thread_.join();
  }
  std::map<uint32_t, int> dataAt;  // read after the transfer has ended

 private:
  void Run() {
    FrameParser parser;
    uint8_t bytes[4096];
    pollfd in{fd_, POLLIN, 0};
    while (!done_) {
      if (poll(&in, 1, 20) != 1) continue;
      const ssize_t n = read(fd_, bytes, sizeof bytes);
      if (n <= 0) return;
      parser.Feed(bytes, static_cast<size_t>(n));
      for (Frame frame; parser.Next(frame);) {
        if (frame.kind == frames::kData) ++dataAt[frame.arg];
        Bytes reply;
        answer_(frame, reply);
        if (!reply.empty() && write(fd_, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) return;
      }
    }
  }

  int fd_;
  Answer answer_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

Bytes Caps(uint8_t rates, uint8_t inFlight) { return CapsFrame({2, rates, kPage, 0, inFlight, 0, 0, 0x10, 0, 0}); }

void Ack(Bytes& reply, uint32_t arg) { AppendFrame(reply, frames::kAck, arg); }
void Nak(Bytes& reply, uint32_t offset, uint8_t reason) { AppendFrame(reply, frames::kNak, offset, &reason, 1); }

class FrameRulesTest : public PlayedPortTest {
 protected:
  // An image of n application bytes, its header as the reference bootloader's.
  static Bytes Image(uint32_t n) {
    Bytes image{'F', 'W', 'B', '1', static_cast<uint8_t>(n + 8), static_cast<uint8_t>((n + 8) >> 8), 0, 0};
    image.resize(n + 8, 0x42);
    return image;
  }

  // Probes (answered at once) and transfers; the outcome.
  bool Transfer(const Bytes& image, uint8_t rates = 0, uint8_t inFlight = 4, const FrameSettings& settings = {}) {
    DeviceSends(Caps(rates, inFlight));
    DeviceCapabilities found;
    if (!ProbeDevice(port_.get(), found, reporter_)) return false;
    uint32_t baud = 0;
    return TransferFrames(port_.get(), image.data(), static_cast<uint32_t>(image.size()), found, settings,
                          progress_, rates_, reporter_, baud);
  }

  std::string Text() const {
    return reporter_.failures.empty() ? "" : DeviceFailureText(reporter_.failures.back());
  }

  NoSteps progress_;
  RateLog rates_;
};

// The reference bootloader's rules for DATA, with the frame at `bad` arriving damaged
// `damaged` times.
PlayedDevice::Answer Bootloader(uint32_t bad, int damaged) {
  auto expected = std::make_shared<uint32_t>(0);
  auto lostSent = std::make_shared<bool>(false);
  auto left = std::make_shared<int>(damaged);
  return [=](const Frame& frame, Bytes& reply) {
    switch (frame.kind) {
      case frames::kBegin: Ack(reply, 0); break;
      case frames::kEnd: AppendFrame(reply, frames::kResult, 0); break;
      case frames::kData:
        if (frame.arg == *expected && frame.arg == bad && *left != 0) {
          --*left;
          *lostSent = false;
          Nak(reply, *expected, kFrameCrc);
        } else if (frame.arg == *expected) {
          *expected += static_cast<uint32_t>(frame.payload.size());
          *lostSent = false;
          Ack(reply, *expected);
        } else if (frame.arg > *expected && !*lostSent) {
          *lostSent = true;
          Nak(reply, *expected, kFrameLost);
        } else if (frame.arg < *expected) {
          Ack(reply, *expected);
        }
        break;
    }
  };
}

TEST_F(FrameRulesTest, TwoDamagedArrivalsOfOneFrameAreTwoTriesNotFour) {
  PlayedDevice device(pair_.Device(), Bootloader(2 * kPage, 2));
  EXPECT_TRUE(Transfer(Image(8 * kPage)));
  EXPECT_TRUE(reporter_.failures.empty()) << Text();
  EXPECT_EQ(progress_.frames, 8);
}

TEST_F(FrameRulesTest, AFrameDamagedThreeTimesEndsTheTransferWithItsOffsetAndReason) {
  PlayedDevice device(pair_.Device(), Bootloader(2 * kPage, -1));
  EXPECT_FALSE(Transfer(Image(8 * kPage)));
  ASSERT_EQ(reporter_.Steps(), std::vector<DeviceStep>{DeviceStep::FrameRefused});
  EXPECT_EQ(reporter_.failures[0].offset, 2u * kPage);
  EXPECT_EQ(Text(), "the device took no frame at byte 32 after 3 tries: CRC");
  EXPECT_EQ(device.dataAt[2 * kPage], 3);
  EXPECT_EQ(progress_.frames, 2);
}

TEST_F(FrameRulesTest, ADeviceThatFallsSilentIsTriedThreeTimesThenReportedAsNoAnswer) {
  auto frames = std::make_shared<int>(0);
  const PlayedDevice::Answer bootloader = Bootloader(0, 0);
  PlayedDevice device(pair_.Device(), [=](const Frame& frame, Bytes& reply) {
    if (frame.kind != frames::kData || ++*frames <= 3) bootloader(frame, reply);
  });
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(Transfer(Image(8 * kPage), 0, 1));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500)) << "three ACK time-outs of 500 ms";
  ASSERT_EQ(reporter_.Steps(), std::vector<DeviceStep>{DeviceStep::FrameRefused});
  EXPECT_EQ(Text(), "the device took no frame at byte 48 after 3 tries: no answer");
  EXPECT_EQ(device.dataAt[3 * kPage], 3);
}

TEST_F(FrameRulesTest, ADamagedBeginIsSentAgainAtOnce) {
  auto begins = std::make_shared<int>(0);
  const PlayedDevice::Answer bootloader = Bootloader(0, 0);
  PlayedDevice device(pair_.Device(), [=](const Frame& frame, Bytes& reply) {
    if (frame.kind == frames::kBegin && ++*begins == 1) return Nak(reply, 0, kFrameCrc);
    bootloader(frame, reply);
  });
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(Transfer(Image(2 * kPage)));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "not after the BEGIN's time-out";
  EXPECT_EQ(*begins, 2);
}

// A device built with keys takes the signed header whole in BEGIN and checks its
// signature before it answers: on a small device that takes longer than the 2 s the
// first protocol's requests are waited for.
TEST_F(FrameRulesTest, ASignedHeaderGoesWholeInBeginWhoseSlowAnswerIsAwaited) {
  constexpr uint16_t kSignedHeader = 184;  // two regions
  auto begins = std::make_shared<std::vector<size_t>>();
  const PlayedDevice::Answer bootloader = Bootloader(0, 0);
  PlayedDevice device(pair_.Device(), [=](const Frame& frame, Bytes& reply) {
    if (frame.kind == frames::kBegin) {
      begins->push_back(frame.payload.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the signature's check
    }
    bootloader(frame, reply);
  });
  Bytes image = Image(2 * kPage + kSignedHeader - 8);
  image[2] = 'S';
  FrameSettings settings;
  settings.headerSize = kSignedHeader;
  EXPECT_TRUE(Transfer(image, 0, 4, settings)) << Text();
  EXPECT_EQ(*begins, std::vector<size_t>{kSignedHeader}) << "sent once, and whole";
  EXPECT_EQ(device.dataAt.size(), 2u) << "the application's frames start after the header";
}

TEST_F(FrameRulesTest, AfterTwoRatesTheDeviceDoesNotHearTheTransferGoesOnAt9600) {
  const int terminal = pair_.Terminal();
  std::vector<std::pair<Clock::time_point, uint32_t>> bauds;
  uint32_t beginRate = 0;
  const PlayedDevice::Answer bootloader = Bootloader(0, 0);
  PlayedDevice device(pair_.Device(), [&](const Frame& frame, Bytes& reply) {
    if (frame.kind == frames::kBaud) {
      bauds.emplace_back(Clock::now(), frame.arg);
      Ack(reply, frame.arg);  // and then hears nothing at that rate
    } else if (frame.kind == frames::kBegin) {
      KernelTermios settings{};
      ioctl(terminal, kGetKernelTermios, &settings);
      beginRate = settings.c_ospeed;
    }
    if (frame.kind != frames::kBaud && frame.kind != frames::kCheck) bootloader(frame, reply);
  });
  EXPECT_TRUE(Transfer(Image(2 * kPage), 0xFF));
  EXPECT_EQ(rates_.changes, (std::vector<std::pair<uint32_t, bool>>{{2000000, false}, {1000000, false}}));
  ASSERT_EQ(bauds.size(), 2u);
  EXPECT_GE(bauds[1].first - bauds[0].first, std::chrono::milliseconds(600))
      << "the device is back at 9600 before the next proposal";
  EXPECT_EQ(beginRate, 9600u);
}

}  // namespace
