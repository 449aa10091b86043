// The device link on its own, as any front end uses it: each failing step handed over as
// a value, a conversation stopped from another thread, and the port's settings put back.
#include <termios.h>

#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/download_protocol.h"
#include "device/serial_port.h"
#include "tests/device/recording_reporter.h"
#include "tests/support/pseudo_terminal_pair.h"
#include "tests/support/scratch_dir.h"
#include "tools/vdev/vdev_process.h"

namespace {

// Counts the accepted bytes, and asks for a stop once it has seen stopAfter of them.
class StoppingProgress : public TransferProgress {
 public:
  StoppingProgress(StopRequest& stop, uint32_t stopAfter) : stop_(stop), stopAfter_(stopAfter) {}
  void ByteAccepted() override {
    if (++steps == stopAfter_) stop_.Request();
  }
  uint32_t steps = 0;

 private:
  StopRequest& stop_;
  uint32_t stopAfter_;
};

using Steps = std::vector<DeviceStep>;

TEST(DeviceLinkTest, EachFailingStepIsReportedAsAValue) {
  RecordingReporter reporter;
  EXPECT_EQ(OpenPort("/nonexistent/fwflash-port", reporter), nullptr);
  EXPECT_EQ(reporter.Steps(), Steps{DeviceStep::OpenPort});

  PseudoTerminalPair pair;
  ASSERT_TRUE(pair.Ok());
  OwnedPort port(OpenPort(Com1Path(), reporter));
  ASSERT_NE(port, nullptr);
  pair.Vanish();
  reporter.failures.clear();
  EXPECT_FALSE(ExchangeByte(port.get(), 0x42, reporter));
  EXPECT_EQ(reporter.Steps(), (Steps{DeviceStep::WriteByte, DeviceStep::SendData}));
  EXPECT_EQ(reporter.failures[1].sent, 0x42);
}

TEST(DeviceLinkTest, ADifferingEchoCarriesTheByteSentAndTheByteReceived) {
  ScratchDir scratch("fwflash-link-test");
  const std::string link = scratch.Path() + "/port";
  VdevProcess device;
  ASSERT_TRUE(device.Start({"--link", link, "--size", "5", "--fault", "echo@3=0xFE", "--quiet",
                            "--timeout", "60"}))
      << device.Error();
  RecordingReporter reporter;
  OwnedPort port(OpenPort(link, reporter));
  ASSERT_NE(port, nullptr);
  const uint8_t image[] = {0x11, 0x80, 0xFF, 0xA5, 0x13};
  StopRequest never;
  StoppingProgress progress(never, 0);
  EXPECT_TRUE(Handshake(port.get(), reporter));
  EXPECT_FALSE(TransferImage(port.get(), image, 5, progress, reporter));
  ASSERT_EQ(reporter.Steps(), Steps{DeviceStep::Echo});
  EXPECT_EQ(reporter.failures[0].sent, 0xFF);
  EXPECT_EQ(reporter.failures[0].received, 0xFE);
  EXPECT_EQ(progress.steps, 2u);
}

TEST(DeviceLinkTest, AStopFromAnotherThreadEndsAPendingReadAsStopped) {
  PseudoTerminalPair pair;  // a device that never answers
  ASSERT_TRUE(pair.Ok());
  StopRequest stop;
  RecordingReporter reporter;
  OwnedPort port(OpenPort(Com1Path(), reporter, &stop));
  ASSERT_NE(port, nullptr);
  SetReadTimeout(port.get(), 25500, reporter);  // far longer than the test may take

  std::future<bool> read = std::async(std::launch::async, [&] {
    uint8_t byte = 0x55;
    return ReceiveByte(port.get(), byte, reporter) || byte != 0;
  });
  stop.Request();
  ASSERT_EQ(read.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(read.get());
  EXPECT_EQ(reporter.Steps(), Steps{DeviceStep::Stopped});
}

TEST(DeviceLinkTest, AStopBetweenBytesEndsTheTransferWithOneReport) {
  ScratchDir scratch("fwflash-link-test");
  const std::string link = scratch.Path() + "/port";
  VdevProcess device;
  ASSERT_TRUE(device.Start({"--link", link, "--size", "100", "--quiet", "--timeout", "60"}))
      << device.Error();
  StopRequest stop;
  RecordingReporter reporter;
  OwnedPort port(OpenPort(link, reporter, &stop));
  ASSERT_NE(port, nullptr);
  std::vector<uint8_t> image(100, 0x3C);
  StoppingProgress progress(stop, 10);
  EXPECT_TRUE(Handshake(port.get(), reporter));
  EXPECT_FALSE(TransferImage(port.get(), image.data(), 100, progress, reporter));
  EXPECT_EQ(reporter.Steps(), Steps{DeviceStep::Stopped});
  EXPECT_EQ(progress.steps, 10u);
}

TEST(DeviceLinkTest, ClosingPutsBackTheSettingsFoundAtOpen) {
  PseudoTerminalPair pair;
  ASSERT_TRUE(pair.Ok());
  termios before{};
  ASSERT_EQ(tcgetattr(pair.Terminal(), &before), 0);
  cfsetspeed(&before, B115200);
  before.c_cflag = (before.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
  before.c_iflag |= IXON | ICRNL;
  before.c_lflag |= ICANON | ECHO;
  before.c_cc[VTIME] = 7;
  ASSERT_EQ(tcsetattr(pair.Terminal(), TCSANOW, &before), 0);
  ASSERT_EQ(tcgetattr(pair.Terminal(), &before), 0);

  RecordingReporter reporter;
  OwnedPort port(OpenPort(Com1Path(), reporter));
  ASSERT_NE(port, nullptr);
  SetReadTimeout(port.get(), 2000, reporter);
  port.reset();
  port.reset();  // a second close does nothing

  termios after{};
  ASSERT_EQ(tcgetattr(pair.Terminal(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  EXPECT_EQ(after.c_cc[VTIME], before.c_cc[VTIME]);
  EXPECT_TRUE(reporter.failures.empty());
}

TEST(DeviceLinkTest, ClosingAPortWhoseDeviceVanishedIsHarmless) {
  PseudoTerminalPair pair;
  ASSERT_TRUE(pair.Ok());
  RecordingReporter reporter;
  OwnedPort port(OpenPort(Com1Path(), reporter));
  ASSERT_NE(port, nullptr);
  pair.Vanish();
  port.reset();
  EXPECT_TRUE(reporter.failures.empty());
  // The path can be opened again by the next user once the device is back.
}

}  // namespace
