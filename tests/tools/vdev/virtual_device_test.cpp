// What other tools rely on in fwflash-vdev: it serves conversation after conversation
// across opens and closes, comes back after a hang-up, tells a wrong image by its exit
// status, and runs the same conversation with 9600-baud line time.
#include <sys/stat.h>

#include "device/download_protocol.h"
#include "tests/support/virtual_device_fixture.h"

namespace {

using VirtualDevice = VirtualDeviceTest;

const std::vector<uint8_t> kImage{0x80, 0xFF, 0x11, 0x13};

// The sync and the device's answer. The answer is given as long as any byte of the
// transfer, not fwflash's 100 ms: these tests are about the device, and on a busy machine
// its answer may come later than that.
bool Acknowledged(SerialPort* port, FailureReporter& reporter) {
  SetReadTimeout(port, protocol::kTransferTimeoutMs, reporter);
  uint8_t answer;
  return SendByte(port, protocol::kSync, reporter) && ReceiveByte(port, answer, reporter) &&
         answer == protocol::kSyncAck;
}

// A whole flash: open, handshake, transfer, close.
bool Flash(const std::vector<uint8_t>& image, TransferProgress& progress) {
  DialogFailureReporter reporter;
  OwnedPort port(OpenPort(Com1Path(), reporter));
  return port != nullptr && Acknowledged(port.get(), reporter) &&
         TransferImage(port.get(), image.data(), static_cast<uint32_t>(image.size()), progress,
                       reporter);
}

TEST_F(VirtualDevice, ServesConversationsAcrossClosesAndRemovesItsLinkWhenStopped) {
  Start({"--size", "4"});
  EXPECT_TRUE(Flash(kImage, progress_));
  EXPECT_TRUE(Flash(kImage, progress_));
  EXPECT_EQ(progress_.steps, 8u);
  EXPECT_TRUE(dialogs_.All().empty());

  EXPECT_EQ(device_.Stop(), 0);
  EXPECT_EQ(Report()["conversation"], "2");
  EXPECT_EQ(Report()["ending"], "complete");
  struct stat link;
  EXPECT_NE(lstat(Com1().c_str(), &link), 0);
}

TEST_F(VirtualDevice, ComesBackOnANewTerminalAfterAHangUp) {
  Start({"--size", "4", "--fault", "hang-up@2"});
  EXPECT_FALSE(Flash(kImage, progress_));
  EXPECT_EQ(Report()["ending"], "hang-up");
  EXPECT_EQ(Report()["data_bytes"], "2");
  ASSERT_TRUE(device_.AwaitTerminal());

  // Each conversation hangs up again at byte 2, but the new terminal answers.
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(Acknowledged(port, reporter_));
  ClosePort(port);
}

TEST_F(VirtualDevice, AWrongImageMakesTheExpectingDeviceFail) {
  StartExpecting({0x80, 0xFF, 0x11, 0x14});
  EXPECT_TRUE(Flash(kImage, progress_)) << "the device cannot check, only report";
  EXPECT_EQ(DeviceExit(), 1);
  EXPECT_EQ(Report()["matches_expected"], "no");
}

TEST_F(VirtualDevice, RunsTheSameConversationWithLineTime) {
  StartExpecting(kImage, {"--baud-emulation"});
  EXPECT_TRUE(Flash(kImage, progress_));
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_EQ(DeviceExit(), 0);
}

}  // namespace
