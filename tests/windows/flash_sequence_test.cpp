// The flash sequence behind the "Flash!" button, against the virtual device.
#include <cstring>

#include "payload/payload_block.h"
#include "tools/vdev/vdev_process.h"
#include "tests/windows/windows_fixture.h"
#include "windows/Done.h"
#include "windows/Main.h"
#include "windows/Progress.h"

namespace {

const std::string kFirmware = std::string(FWFLASH_SOURCE_DIR) + "/payload/firmware.bin";
const int32_t kFirmwareSize = 3612;

class FlashSequenceTest : public WindowsTest {
 protected:
  void Press() { Mainform->Btn_Flash->Click(); }
  // A virtual device at COM1; --expect makes it judge one conversation.
  void StartDevice(VdevProcess& device, std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--quiet", "--timeout", "60"});
    ASSERT_TRUE(device.Start(options)) << device.Error();
    SetPort(device.TerminalPath());
  }
  // The device judges the conversation once the program lets go of the port.
  int DeviceResult(VdevProcess& device) {
    Mainform->FormDestroy();
    return device.WaitForExit(10000);
  }
  void ExpectIdleAgain() {
    EXPECT_TRUE(Mainform->Enabled());
    EXPECT_FALSE(Form_Progress->Visible());
  }
};

TEST_F(FlashSequenceTest, APressDownloadsTheEmbeddedFirmwareAndShowsTheCompletionWindow) {
  VdevProcess device;
  StartDevice(device, {"--expect", kFirmware});
  CreateWindows();
  Press();
  EXPECT_EQ(DeviceResult(device), 0);
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_TRUE(Form_Done->Visible());
  EXPECT_EQ(Form_Progress->ProgressBar->Max(), kFirmwareSize);
  EXPECT_EQ(Form_Progress->ProgressBar->Position(), kFirmwareSize);
  EXPECT_FALSE(app_.Terminated());
  ExpectIdleAgain();
}

TEST_F(FlashSequenceTest, WithoutADeviceThePressTellsTwiceAndEndsTheProgram) {
  CreateWindows();
  Press();
  EXPECT_EQ(dialogs_.Messages(), (std::vector<std::string>{"Cannot open COM1 port!",
                                                           "Cannot initialize com1, exit..."}));
  EXPECT_TRUE(app_.Terminated());
  EXPECT_FALSE(Form_Done->Visible());
  EXPECT_EQ(Mainform->PortHandle, nullptr);
  ExpectIdleAgain();
}

TEST_F(FlashSequenceTest, ASilentHandshakeCostsOneMessageAndTheTransferStillRuns) {
  VdevProcess device;
  StartDevice(device, {"--fault", "sync=none", "--expect", kFirmware});
  CreateWindows();
  Press();
  EXPECT_EQ(DeviceResult(device), 0);
  EXPECT_EQ(dialogs_.Messages(), std::vector<std::string>{"Cannot read from comm port!"});
  EXPECT_TRUE(Form_Done->Visible());
}

TEST_F(FlashSequenceTest, ADeviceThatStopsLeavesTheWindowUsableAndASecondPressWorks) {
  {
    VdevProcess device;
    StartDevice(device, {"--fault", "request@101=none"});
    CreateWindows();
    Press();
    EXPECT_EQ(dialogs_.Messages(), std::vector<std::string>{"Cannot read from comm port!"});
    EXPECT_EQ(Form_Progress->ProgressBar->Position(), 100);
    EXPECT_FALSE(Form_Done->Visible());
    EXPECT_FALSE(app_.Terminated());
    ExpectIdleAgain();
  }
  dialogs_.Clear();
  VdevProcess device;
  StartDevice(device, {"--expect", kFirmware});
  Press();
  EXPECT_EQ(DeviceResult(device), 0);
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_TRUE(Form_Done->Visible());
}

TEST_F(FlashSequenceTest, ASecondPressAfterASuccessOpensThePortAgain) {
  VdevProcess device;  // serves one conversation after another
  StartDevice(device);
  CreateWindows();
  Press();
  Press();
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_EQ(Form_Progress->ProgressBar->Position(), kFirmwareSize);
}

TEST_F(FlashSequenceTest, AnEmptyOrOversizedFirmwareIsNeverSent) {
  VdevProcess device;
  StartDevice(device);
  CreateWindows();
  ASSERT_TRUE(Mainform->InitPort());
  uint32_t shipped = Payload.FirmwareSize;
  Payload.FirmwareSize = 0;
  EXPECT_FALSE(Mainform->DownloadFirmware());
  Payload.FirmwareSize = sizeof Payload.FirmwareImage + 1;
  EXPECT_FALSE(Mainform->DownloadFirmware());
  Payload.FirmwareSize = shipped;
  EXPECT_TRUE(dialogs_.All().empty());
}

TEST_F(FlashSequenceTest, DestroyingTheMainWindowClosesThePort) {
  VdevProcess device;
  StartDevice(device);
  CreateWindows();
  ASSERT_TRUE(Mainform->InitPort());
  app_.DestroyForms();
  // The port is free again: another program can open it for exclusive use.
  PortHandle again = OpenPort();
  EXPECT_NE(again, nullptr);
  ClosePort(again);
}

}  // namespace
