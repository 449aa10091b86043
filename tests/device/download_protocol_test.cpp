// The download conversation against the virtual device: a complete transfer, and every
// way it can fail, with the messages the user sees in order and where the bar stops.
#include <algorithm>
#include <chrono>

#include "device/download_protocol.h"
#include "payload/payload_block.h"
#include "tests/support/pseudo_terminal_pair.h"
#include "tests/support/virtual_device_fixture.h"

namespace {

std::string EchoMismatch(const char* sent, const char* received) {
  return std::string(sent) + " sent, but " + received + " received";
}

using DownloadTest = VirtualDeviceTest;

TEST_F(DownloadTest, TheBuiltInImageArrivesByteForByte) {
  std::vector<uint8_t> image(Payload.FirmwareImage, Payload.FirmwareImage + Payload.FirmwareSize);
  for (uint8_t special : {0x80, 0xA5, 0xFF}) {
    ASSERT_NE(std::count(image.begin(), image.end(), special), 0) << "the image lacks " << +special;
  }
  StartExpecting(image);
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);

  EXPECT_TRUE(Handshake(port, reporter_));
  EXPECT_TRUE(TransferImage(port, image.data(), static_cast<uint32_t>(image.size()), progress_, reporter_));
  ClosePort(port);

  EXPECT_EQ(progress_.steps, image.size()) << "the end rounds add no step";
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_EQ(DeviceExit(), 0);
  auto report = Report();
  EXPECT_EQ(report["matches_expected"], "yes");
  EXPECT_EQ(report["end_rounds"], "2");
  EXPECT_EQ(report["received_bytes"], std::to_string(image.size() + 3));
  EXPECT_EQ(report["sent_bytes"], std::to_string(2 * image.size() + 5));
}

TEST_F(DownloadTest, AnEmptyImageSendsOnlyTheEndMarker) {
  StartExpecting({});
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  uint8_t none = 0;
  EXPECT_TRUE(Handshake(port, reporter_));
  EXPECT_TRUE(TransferImage(port, &none, 0, progress_, reporter_));
  ClosePort(port);
  EXPECT_EQ(progress_.steps, 0u);
  EXPECT_EQ(DeviceExit(), 0);
}

// A device whose sync answer failed still gets the whole transfer on the same port.
struct SyncFailure {
  const char* name;
  const char* fault;
  TextSlot message;
};

class SyncFailureTest : public VirtualDeviceTest, public testing::WithParamInterface<SyncFailure> {};

TEST_P(SyncFailureTest, FailsTheHandshakeButNotTheTransferAfterIt) {
  const std::vector<uint8_t> image{0x01, 0xA5, 0x5A};
  StartExpecting(image, {"--fault", GetParam().fault});
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);

  EXPECT_FALSE(Handshake(port, reporter_));
  EXPECT_EQ(dialogs_.Messages(), Texts({GetParam().message}));
  dialogs_.Clear();
  EXPECT_TRUE(TransferImage(port, image.data(), 3, progress_, reporter_));
  EXPECT_TRUE(dialogs_.All().empty());
  ClosePort(port);
  EXPECT_EQ(DeviceExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(NoAnswerOrAnother, SyncFailureTest,
                         testing::Values(SyncFailure{"NoAnswer", "sync=none", kTextCannotReadPort},
                                         SyncFailure{"Zero", "sync=0x00", kTextNoAck5A},
                                         SyncFailure{"TheSyncItself", "sync=0xA5", kTextNoAck5A}),
                         [](const testing::TestParamInfo<SyncFailure>& info) { return info.param.name; });

// One row of the failure table: the device's fault, the messages in order, and the bar.
struct TransferFailure {
  const char* name;
  const char* fault;
  std::vector<std::string> messages;
  uint32_t steps;
};

void PrintTo(const TransferFailure& row, std::ostream* out) { *out << row.name; }

class TransferFailureTest : public VirtualDeviceTest,
                            public testing::WithParamInterface<TransferFailure> {};

// The image's third byte, where the data faults strike, is 0xFF: nothing but the two
// end rounds may pass for the end.
const std::vector<uint8_t> kShortImage{0x11, 0x80, 0xFF, 0xA5, 0x13};

TEST_P(TransferFailureTest, StopsTheTransferWithItsMessagesInOrder) {
  StartExpecting(kShortImage, {"--fault", GetParam().fault});
  SerialPort* port = OpenPort(Com1Path(), reporter_);
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(Handshake(port, reporter_));

  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(TransferImage(port, kShortImage.data(), 5, progress_, reporter_));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "no hang";
  EXPECT_EQ(dialogs_.Messages(), GetParam().messages);
  EXPECT_EQ(progress_.steps, GetParam().steps);
  ClosePort(port);
  EXPECT_EQ(DeviceExit(), 1);
}

const std::string kRead = ReadTextSlot(kTextCannotReadPort);
const std::string kEof = ReadTextSlot(kTextCannotSendEof);
const std::string kUnknown = ReadTextSlot(kTextUnknownCommand);

INSTANTIATE_TEST_SUITE_P(
    EveryRow, TransferFailureTest,
    testing::Values(
        TransferFailure{"NoRequest", "request@3=none", {kRead}, 2},
        TransferFailure{"RequestNot0x80", "request@3=0x81", {kUnknown}, 2},
        TransferFailure{"NoEcho", "echo@3=none", {kRead, EchoMismatch("0xFF", "0x00")}, 2},
        TransferFailure{"DifferingEchoStops", "echo@3=0xFE", {EchoMismatch("0xFF", "0xFE")}, 2},
        TransferFailure{"HangUpAfterAByte", "hang-up@3", {kRead, EchoMismatch("0xFF", "0x00")}, 2},
        TransferFailure{"NoEndRequest1", "end-request@1=none", {kRead, kEof}, 5},
        TransferFailure{"EndRequest2Not0x80", "end-request@2=0x81", {kEof}, 5},
        TransferFailure{"NoEndEcho1", "end-echo@1=none",
                        {kRead, EchoMismatch("0xFF", "0x00"), kEof}, 5},
        TransferFailure{"DifferingEndEcho2Stops", "end-echo@2=0x7F",
                        {EchoMismatch("0xFF", "0x7F"), kEof}, 5}),
    [](const testing::TestParamInfo<TransferFailure>& info) { return info.param.name; });

// Write failures need a device that has vanished under an open port.
class VanishedDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pair_.Ok());
    port_ = OpenPort(Com1Path(), reporter_);
    ASSERT_NE(port_, nullptr);
    pair_.Vanish();
  }
  void TearDown() override {
    ClosePort(port_);
    unsetenv("FWFLASH_COM1");
  }
  PseudoTerminalPair pair_;
  SerialPort* port_ = nullptr;
  DialogRecorder dialogs_;
  DialogFailureReporter reporter_;
  CountingProgress progress_;
};

TEST_F(VanishedDeviceTest, TheSyncCannotBeWritten) {
  EXPECT_FALSE(Handshake(port_, reporter_));
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextSetTimeoutsError, kTextCannotWritePort}));
}

TEST_F(VanishedDeviceTest, ADataByteCannotBeWritten) {
  EXPECT_FALSE(ExchangeByte(port_, 0x42, reporter_));
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextCannotWritePort, kTextCannotSendData}));
}

TEST_F(VanishedDeviceTest, TheTransferEndsAtOnceWithoutARequest) {
  EXPECT_FALSE(TransferImage(port_, kShortImage.data(), 5, progress_, reporter_));
  EXPECT_EQ(dialogs_.Messages(), Texts({kTextSetTimeoutsError, kTextCannotReadPort}));
  EXPECT_EQ(progress_.steps, 0u);
}

}  // namespace
