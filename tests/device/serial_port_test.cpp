// COM1 on pseudo-terminals whose device side the test plays: line settings, binary
// transparency, read time-outs, and the failures of opening, with their messages.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/serial_port.h"
#include "tests/device/message_texts.h"
#include "tests/support/pseudo_terminal_pair.h"
#include "tests/support/dialog_recorder.h"
#include "texts/device_messages.h"
#include "texts/text_table.h"

namespace {

// Everything the device side has received, once nothing more arrives for 100 ms.
std::vector<uint8_t> ReadAll(int fd) {
  std::vector<uint8_t> bytes;
  pollfd device{fd, POLLIN, 0};
  uint8_t byte;
  while (poll(&device, 1, 100) == 1 && read(fd, &byte, 1) == 1) bytes.push_back(byte);
  return bytes;
}

int OpenDescriptors() {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  while (readdir(fds) != nullptr) ++count;
  closedir(fds);
  return count;
}

class SerialPortTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pair_.Ok()); }
  void TearDown() override { unsetenv("FWFLASH_COM1"); }

  PseudoTerminalPair pair_;
  DialogRecorder dialogs_;
  DialogFailureReporter reporter_;
};

TEST_F(SerialPortTest, EveryByteValuePassesUnchangedInBothDirections) {
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  SetReadTimeout(port, 2000, reporter_);

  std::vector<uint8_t> all;
  for (int value = 0; value < 256; ++value) all.push_back(static_cast<uint8_t>(value));
  ASSERT_EQ(write(pair_.Device(), all.data(), all.size()), 256);
  std::vector<uint8_t> received;
  uint8_t byte;
  while (received.size() < all.size() && ReceiveByte(port, byte, reporter_)) received.push_back(byte);
  EXPECT_EQ(received, all);  // 0x11 and 0x13 included: no software flow control
  EXPECT_TRUE(ReadAll(pair_.Device()).empty()) << "nothing may be echoed back";

  for (uint8_t value : all) ASSERT_TRUE(SendByte(port, value, reporter_));
  EXPECT_EQ(ReadAll(pair_.Device()), all);  // 0x0A stays 0x0A: no output processing
  EXPECT_TRUE(dialogs_.All().empty());
  ClosePort(port);
}

TEST_F(SerialPortTest, OpenSets9600_8N1AndKeepsHardwareFlowControlAsFound) {
  for (bool hardwareFlow : {true, false}) {
    termios before{};
    ASSERT_EQ(tcgetattr(pair_.Terminal(), &before), 0);
    cfsetspeed(&before, B115200);
    before.c_cflag = (before.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
    before.c_cflag = hardwareFlow ? before.c_cflag | CRTSCTS : before.c_cflag & ~CRTSCTS;
    before.c_iflag |= IXON | IXOFF | ICRNL;
    ASSERT_EQ(tcsetattr(pair_.Terminal(), TCSANOW, &before), 0);

    SerialPort* port = OpenPort(Com1Path(), reporter_);  // also asks for low latency, which a pty does not have
    ASSERT_NE(port, nullptr);
    termios after{};
    ASSERT_EQ(tcgetattr(pair_.Terminal(), &after), 0);
    EXPECT_EQ(cfgetispeed(&after), B9600);
    EXPECT_EQ(cfgetospeed(&after), B9600);
    EXPECT_EQ(after.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ((after.c_cflag & CRTSCTS) != 0, hardwareFlow);
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    ClosePort(port);
  }
  EXPECT_TRUE(dialogs_.All().empty());
}

TEST_F(SerialPortTest, AReadWithNothingToReadEndsAfterItsTimeOut) {
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  for (unsigned timeout : {100u, 2000u}) {
    dialogs_.Clear();
    SetReadTimeout(port, timeout, reporter_);
    uint8_t byte = 0x55;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReceiveByte(port, byte, reporter_));
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, timeout * 9 / 10);
    EXPECT_LT(elapsed, timeout * 2 + 500);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(dialogs_.Messages(), Texts({kTextCannotReadPort}));
  }
  ClosePort(port);
}

TEST_F(SerialPortTest, AMissingPortCannotBeOpenedAndItsNullHandleFailsSafely) {
  setenv("FWFLASH_COM1", "/nonexistent/fwflash-com1", 1);
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextCannotOpenPort}));

  dialogs_.Clear();
  SetReadTimeout(port, 100, reporter_);
  uint8_t byte = 0x55;
  EXPECT_FALSE(SendByte(port, 0xA5, reporter_));
  EXPECT_FALSE(ReceiveByte(port, byte, reporter_));
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(dialogs_.Messages(),
            Texts({kTextSetTimeoutsError, kTextCannotWritePort, kTextCannotReadPort}));
  ClosePort(port);
}

TEST_F(SerialPortTest, APortInUseCannotBeOpenedAgainUntilItIsClosed) {
  SerialPort* first = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OpenPort(Com1Path(), reporter_), nullptr);
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextCannotOpenPort}));
  EXPECT_TRUE(SendByte(first, 0x42, reporter_)) << "the first user keeps the port";
  ClosePort(first);

  dialogs_.Clear();
  SerialPort* again = OpenPort(Com1Path(), reporter_);
  EXPECT_NE(again, nullptr);
  EXPECT_TRUE(dialogs_.All().empty());
  ClosePort(again);
}

TEST_F(SerialPortTest, APathThatIsNoTerminalIsClosedAgainAfterItsMessage) {
  char path[] = "/tmp/fwflash-not-a-port-XXXXXX";
  int file = mkstemp(path);
  ASSERT_GE(file, 0);
  close(file);
  setenv("FWFLASH_COM1", path, 1);

  int before = OpenDescriptors();
  EXPECT_EQ(OpenPort(Com1Path(), reporter_), nullptr);
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextCannotGetParameters}));
  unlink(path);
}

TEST_F(SerialPortTest, AVanishedDeviceFailsEveryOperationWithItsMessage) {
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  pair_.Vanish();

  SetReadTimeout(port, 2000, reporter_);
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextSetTimeoutsError}));
  EXPECT_FALSE(SendByte(port, 0xA5, reporter_));
  uint8_t byte = 0x55;
  EXPECT_FALSE(ReceiveByte(port, byte, reporter_));
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(dialogs_.Messages(),
            Texts({kTextSetTimeoutsError, kTextCannotWritePort, kTextCannotReadPort}));
  ClosePort(port);
}

}  // namespace
