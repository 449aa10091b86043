// COM1 through the Windows serial functions, against the virtual device that
// run-wine-tests.sh maps to COM1 (it answers the sync and then asks for bytes).
#include <windows.h>

#include <gtest/gtest.h>

#include "device/frame_protocol.h"
#include "device/port_latency.h"
#include "device/serial_port.h"
#include "tests/support/dialog_recorder.h"
#include "texts/device_messages.h"

namespace {

using Strings = std::vector<std::string>;

// Opens COM1 as the program does and closes it at the end of the test.
class SerialPortTest : public testing::Test {
 protected:
  void SetUp() override {
    port_ = OpenPort(Com1Path(), reporter_);
    ASSERT_NE(port_, nullptr) << "COM1 is not mapped to the virtual device";
  }
  void TearDown() override { ClosePort(port_); }

  DialogRecorder dialogs_;

  DialogFailureReporter reporter_;
  SerialPort* port_ = nullptr;
};

DCB CurrentSettings() {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  HANDLE handle = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(GetCommState(handle, &dcb));
  CloseHandle(handle);
  return dcb;
}

TEST_F(SerialPortTest, TalksToTheDeviceByteByByte) {
  SetReadTimeout(port_, 2000, reporter_);
  uint8_t byte = 0;
  ASSERT_TRUE(SendByte(port_, 0xA5, reporter_));
  ASSERT_TRUE(ReceiveByte(port_, byte, reporter_));
  EXPECT_EQ(byte, 0x5A);
  ASSERT_TRUE(ReceiveByte(port_, byte, reporter_));
  EXPECT_EQ(byte, 0x80);  // the request for the first byte
  for (uint8_t sent : {0x11, 0x13}) {  // XON and XOFF travel as data
    ASSERT_TRUE(SendByte(port_, sent, reporter_));
    FlushPort(port_);
    ASSERT_TRUE(ReceiveByte(port_, byte, reporter_));
    EXPECT_EQ(byte, sent);
    ASSERT_TRUE(ReceiveByte(port_, byte, reporter_));
    EXPECT_EQ(byte, 0x80);
  }
  EXPECT_EQ(dialogs_.All(), Strings{});
}

TEST_F(SerialPortTest, AReadWithoutAnswerEndsAfterItsTimeoutWithByteZero) {
  SetReadTimeout(port_, 100, reporter_);
  uint8_t byte = 0x77;
  DWORD start = GetTickCount();
  EXPECT_FALSE(ReceiveByte(port_, byte, reporter_));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_EQ(byte, 0);
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 1000u);
  EXPECT_EQ(dialogs_.All(), Strings{"Cannot read from comm port!"});
}

// Wine says yes to rates its line cannot keep (250000 becomes 38400): only the rates
// that read back count as taken.
TEST_F(SerialPortTest, ARateCountsAsTakenOnlyWhenTheLineKeepsIt) {
  int taken = 0;
  for (uint32_t rate : frames::kRates) {
    const bool took = SetPortRate(port_, rate);
    EXPECT_EQ(took, CurrentSettings().BaudRate == rate) << rate;
    taken += took;
  }
  EXPECT_GT(taken, 0);
  ASSERT_TRUE(SetPortRate(port_, frames::kBaseRate));
  EXPECT_EQ(CurrentSettings().BaudRate, 9600u);
}

TEST_F(SerialPortTest, BlocksTravelAndTheOneByteTimeOutHoldsAfterThem) {
  SetReadTimeout(port_, 100, reporter_);
  const uint8_t sync = 0xA5;
  ASSERT_TRUE(SendBlock(port_, &sync, 1, reporter_));
  uint8_t answer[2] = {};
  size_t count = 0, more = 0;
  ASSERT_TRUE(ReceiveSome(port_, answer, 2, 2000, count, reporter_));
  if (count == 1) {
    ASSERT_TRUE(ReceiveSome(port_, answer + 1, 1, 2000, more, reporter_));
  }
  EXPECT_EQ(count + more, 2u);
  EXPECT_EQ(answer[0], 0x5A);
  EXPECT_EQ(answer[1], 0x80);
  // Nothing more comes: the block read says so without a failure, then a one-byte read
  // waits its own 100 ms again.
  ASSERT_TRUE(ReceiveSome(port_, answer, 2, 50, count, reporter_));
  EXPECT_EQ(count, 0u);
  uint8_t byte = 0;
  DWORD start = GetTickCount();
  EXPECT_FALSE(ReceiveByte(port_, byte, reporter_));
  EXPECT_GE(GetTickCount() - start, 80u);
  EXPECT_LT(GetTickCount() - start, 1000u);
}

// run-wine-tests.sh gives COM3 an FTDI adapter's device parameters in the registry.
TEST(PortLatencyTest, AnFtdiPortsLatencyTimerIsReadFromItsDeviceParameters) {
  EXPECT_EQ(PortLatencyMs("COM3"), 16);
  EXPECT_EQ(PortLatencyMs("\\\\.\\com3"), 16);
  EXPECT_EQ(PortLatencyMs("COM1"), -1) << "no FTDI port";
}

TEST_F(SerialPortTest, SetsTheLineTo9600EightNoneOne) {
  DCB dcb = CurrentSettings();
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
}

TEST(SerialPortSettingsTest, FlowControlFoundAtOpenStaysInForceAndAllIsPutBackAtClose) {
  HANDLE handle = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DCB before = {};
  before.DCBlength = sizeof before;
  ASSERT_TRUE(GetCommState(handle, &before));
  DCB changed = before;
  changed.BaudRate = CBR_2400;
  changed.Parity = EVENPARITY;
  changed.fOutX = TRUE;
  ASSERT_TRUE(SetCommState(handle, &changed));
  CloseHandle(handle);

  const DCB found = CurrentSettings();  // as far as the line keeps them
  ASSERT_EQ(found.BaudRate, static_cast<DWORD>(CBR_2400));
  DialogRecorder dialogs;
  DialogFailureReporter reporter;
  SerialPort* port = OpenPort(Com1Path(), reporter);
  ASSERT_NE(port, nullptr);
  DCB during = CurrentSettings();
  EXPECT_EQ(during.BaudRate, 9600u);
  EXPECT_EQ(during.Parity, NOPARITY);
  EXPECT_TRUE(during.fOutX);
  ClosePort(port);
  DCB after = CurrentSettings();  // put back as found at open
  EXPECT_EQ(after.BaudRate, found.BaudRate);
  EXPECT_EQ(after.Parity, found.Parity);
  EXPECT_EQ(after.fOutX, found.fOutX);

  handle = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetCommState(handle, &before));  // the device's line is raw again
  CloseHandle(handle);
  EXPECT_FALSE(before.fOutX) << "the virtual device's terminal was not raw";
}

}  // namespace
