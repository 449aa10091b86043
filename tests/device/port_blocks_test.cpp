// The port's side of the transfer in frames, on pseudo-terminals whose device side the
// test plays: rates set and read back, blocks in and out, and block reads that end on
// time, on a stop request and on a vanished device.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/frame_protocol.h"
#include "device/kernel_termios_linux.h"
#include "device/serial_port.h"
#include "tests/device/played_port_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class PortBlocksTest : public PlayedPortTest {
 protected:
  // The terminal's settings as the kernel keeps them, rates as numbers.
  KernelTermios Terminal() const {
    KernelTermios settings{};
    EXPECT_EQ(ioctl(pair_.Terminal(), kGetKernelTermios, &settings), 0);
    return settings;
  }
};

TEST_F(PortBlocksTest, EveryRateOfTheListIsSetForBothDirectionsAndReadsBack) {
  const tcflag_t line = Terminal().c_cflag & (CSIZE | PARENB | CSTOPB);
  for (uint32_t rate : frames::kRates) {
    ASSERT_TRUE(SetPortRate(port_.get(), rate)) << rate;
    const KernelTermios settings = Terminal();
    EXPECT_EQ(settings.c_ospeed, rate);
    EXPECT_EQ(settings.c_ispeed, rate);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB), line) << "8-N-1 stays";
  }
  SetReadTimeout(port_.get(), 100, reporter_);
  EXPECT_EQ(Terminal().c_ospeed, frames::kRates[7]) << "the one-byte reads' settings keep the rate";
  ASSERT_TRUE(SetPortRate(port_.get(), frames::kBaseRate));
  EXPECT_EQ(Terminal().c_ospeed, frames::kBaseRate);
  EXPECT_TRUE(reporter_.Steps().empty());
}

TEST_F(PortBlocksTest, TheRateFoundAtOpenComesBackAtClose) {
  port_.reset();
  termios before{};
  ASSERT_EQ(tcgetattr(pair_.Terminal(), &before), 0);
  cfsetspeed(&before, B57600);
  ASSERT_EQ(tcsetattr(pair_.Terminal(), TCSANOW, &before), 0);
  port_.reset(OpenPort(Com1Path(), reporter_));
  ASSERT_TRUE(SetPortRate(port_.get(), 2000000));
  port_.reset();
  EXPECT_EQ(Terminal().c_ospeed, 57600u);
}

TEST_F(PortBlocksTest, ARateCannotBeSetOnAVanishedDeviceNorWithoutAPort) {
  EXPECT_FALSE(SetPortRate(nullptr, 115200));
  pair_.Vanish();
  EXPECT_FALSE(SetPortRate(port_.get(), 115200));
}

TEST_F(PortBlocksTest, ABlockLargerThanTheTerminalHoldsArrivesWhole) {
  std::vector<uint8_t> block(256 * 1024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
  std::vector<uint8_t> received;
  std::thread device([&] {
    uint8_t chunk[4096];
    pollfd in{pair_.Device(), POLLIN, 0};
    while (received.size() < block.size() && poll(&in, 1, 5000) == 1) {
      const ssize_t n = read(pair_.Device(), chunk, sizeof chunk);
      if (n <= 0) break;
      received.insert(received.end(), chunk, chunk + n);
    }
  });
  EXPECT_TRUE(SendBlock(port_.get(), block.data(), block.size(), reporter_));
  device.join();
  EXPECT_EQ(received, block);
}

TEST_F(PortBlocksTest, AReadTakesWhatHasArrivedUpToItsRoomAndLeavesTheRest) {
  const uint8_t sent[] = {0xC5, 0x11, 0x13, 0x0A, 0x00, 0xFF};
  DeviceSends(std::vector<uint8_t>(sent, sent + sizeof sent));
  std::vector<uint8_t> received(4);
  size_t count = 0;
  ASSERT_TRUE(ReceiveSome(port_.get(), received.data(), 4, 1000, count, reporter_));
  // A pseudo-terminal may pass the bytes on in more than one piece.
  while (count < 4) {
    size_t more = 0;
    ASSERT_TRUE(ReceiveSome(port_.get(), received.data() + count, 4 - count, 1000, more, reporter_));
    count += more;
  }
  EXPECT_EQ(received, std::vector<uint8_t>(sent, sent + 4));
  ASSERT_TRUE(ReceiveSome(port_.get(), received.data(), 4, 1000, count, reporter_));
  EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + static_cast<long>(count)),
            std::vector<uint8_t>(sent + 4, sent + 6));
}

TEST_F(PortBlocksTest, NothingWithinTheWaitIsNoFailure) {
  for (unsigned waitMs : {0u, 50u, 250u}) {
    uint8_t byte = 0;
    size_t count = 99;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(ReceiveSome(port_.get(), &byte, 1, waitMs, count, reporter_));
    EXPECT_EQ(count, 0u);
    EXPECT_GE(MsSince(start), waitMs * 9 / 10);
    EXPECT_LT(MsSince(start), waitMs + 100);
  }
  EXPECT_TRUE(reporter_.Steps().empty());
}

TEST_F(PortBlocksTest, AStopRequestEndsAWaitingReadWithinASlice) {
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop_.Request();
  });
  uint8_t byte = 0;
  size_t count = 0;
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(ReceiveSome(port_.get(), &byte, 1, 10000, count, reporter_));
  stopper.join();
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_EQ(reporter_.Steps(), std::vector<DeviceStep>{DeviceStep::Stopped});
}

TEST_F(PortBlocksTest, AVanishedDeviceFailsReadsAndWritesAtOnce) {
  pair_.Vanish();
  uint8_t bytes[16] = {};
  size_t count = 0;
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(ReceiveSome(port_.get(), bytes, sizeof bytes, 10000, count, reporter_));
  EXPECT_LT(MsSince(start), 1000) << "no waiting out the time-out";
  EXPECT_FALSE(SendBlock(port_.get(), bytes, sizeof bytes, reporter_));
  EXPECT_EQ(reporter_.Steps(), (std::vector<DeviceStep>{DeviceStep::ReadByte, DeviceStep::WriteByte}));
}

}  // namespace
