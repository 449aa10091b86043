// The flash sequence behind the "Flash!" button, against the virtual device.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "payload/payload_block.h"
#include "tests/bootloader/boot_sim_process.h"
#include "tests/support/program_run.h"
#include "tools/vdev/vdev_process.h"
#include "tests/forms/windows_fixture.h"
#include "forms/Done.h"
#include "forms/Main.h"
#include "forms/Progress.h"

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
  std::string ReportPath() const { return workDir_ + "/device-report"; }
  // A value of the device's report, once it has written one.
  std::string ReportValue(const std::string& key) {
    for (int waited = 0; waited < 10000; waited += 20) {
      std::ifstream report(ReportPath());
      std::string line;
      while (std::getline(report, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "no report";
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

// A board cut off in mid-conversation left an acknowledgement and a request, in either
// order, in the port: the next device still gets the image byte for byte.
TEST_F(FlashSequenceTest, BytesLeftInThePortBeforeThePressAreNotTakenForTheAnswer) {
  CreateWindows();
  for (const char* leftover : {"5A80", "805A"}) {
    dialogs_.Clear();
    VdevProcess device;
    StartDevice(device, {"--expect", kFirmware, "--leftover", leftover});
    Press();
    EXPECT_EQ(DeviceResult(device), 0) << leftover;
    EXPECT_TRUE(dialogs_.All().empty()) << leftover << ": " << dialogs_.Messages().front();
    EXPECT_TRUE(Form_Done->Visible());
  }
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

TEST_F(FlashSequenceTest, AnEmptyOrOversizedFirmwareIsNeverSentAndSaysSo) {
  CreateWindows();
  for (uint32_t size : {0u, static_cast<uint32_t>(sizeof Payload.FirmwareImage) + 1}) {
    dialogs_.Clear();
    std::remove(ReportPath().c_str());
    VdevProcess device;
    StartDevice(device, {"--report", ReportPath()});
    Mainform->Firmware.size = size;
    Press();
    EXPECT_EQ(dialogs_.Messages(), (std::vector<std::string>{"Cannot send data to device!"}));
    EXPECT_FALSE(Form_Done->Visible());
    ExpectIdleAgain();
    Mainform->FormDestroy();  // the device reports the conversation the program closed
    EXPECT_EQ(ReportValue("data_bytes"), "0") << "no image byte reaches the device";
  }
}

// A device that answers the probe takes the image in frames at its highest rate; the
// progress window steps per frame to the image's end.
TEST_F(FlashSequenceTest, ADeviceOfTheSecondProtocolTakesTheImageInFrames) {
  std::vector<uint8_t> image = {'F', 'W', 'B', '1', 0, 0, 0, 0};
  for (uint32_t i = 0; i < 5000; ++i) image.push_back(static_cast<uint8_t>(i * 13 + (i >> 8)));
  const uint32_t size = static_cast<uint32_t>(image.size());
  for (int shift = 0; shift < 32; shift += 8) image[4 + shift / 8] = static_cast<uint8_t>(size >> shift);
  BootSimProcess sim;
  const std::string link = workDir_ + "/boot-device";
  ASSERT_TRUE(sim.Start({"--link", link, "--flash", workDir_ + "/flash.bin", "--window-ms", "60000", "--reset"}));
  ASSERT_EQ(sim.NextLine(), "{\"valid\":false}");
  SetPort(link);
  CreateWindows();
  Mainform->Firmware = {image.data(), size, size};
  Mainform->ChosenProtocol = Protocol::Two;  // the frames, however late the answer on a loaded machine
  Press();
  EXPECT_TRUE(dialogs_.All().empty()) << dialogs_.Messages().front();
  EXPECT_TRUE(Form_Done->Visible());
  EXPECT_TRUE(Mainform->DeviceOpening.framed) << "the probe was answered";
  EXPECT_EQ(Form_Progress->ProgressBar->Max(), static_cast<int32_t>(size));
  EXPECT_EQ(Form_Progress->ProgressBar->Position(), static_cast<int32_t>(size));
  EXPECT_EQ(sim.NextLine().rfind("{\"valid\":true,\"length\":5000,", 0), 0u);
}

// A device built with a key refuses an image signed with another before it erases
// anything, and says why: the failure dialog tells the reason, as the program's own.
TEST_F(FlashSequenceTest, ADeviceThatRefusesASignedImageHasItsReasonShown) {
  const std::string boot_image = BuildPath("fwflash-boot-image");
  for (const char* key : {"vendor", "other"})
    ASSERT_EQ(RunProgram({boot_image, "--new-key", workDir_ + "/" + key}).status, 0);
  std::ofstream(workDir_ + "/app.bin", std::ios::binary) << std::string(700, 'a');
  const ProgramResult made = RunProgram({boot_image, workDir_ + "/app.bin", workDir_ + "/app.img", "--sign",
                                         workDir_ + "/other.key", "--version", "1.0.0", "--counter", "1"});
  ASSERT_EQ(made.status, 0) << made.err;
  std::ifstream file(workDir_ + "/app.img", std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const uint32_t size = static_cast<uint32_t>(image.size());
  BootSimProcess sim;
  const std::string link = workDir_ + "/boot-device";
  ASSERT_TRUE(sim.Start({"--link", link, "--flash", workDir_ + "/flash.bin", "--key", workDir_ + "/vendor.pub",
                         "--window-ms", "60000", "--reset"}));
  ASSERT_EQ(sim.NextLine(), "{\"valid\":false,\"counter\":0}");
  SetPort(link);
  CreateWindows();
  Mainform->Firmware = {image.data(), size, size};
  Mainform->ChosenProtocol = Protocol::Two;
  Press();
  EXPECT_EQ(dialogs_.Messages(), std::vector<std::string>{
                                     "the device refused the image: it is signed by a key the device does not know"});
  EXPECT_FALSE(Form_Done->Visible());
  ExpectIdleAgain();
}

TEST_F(FlashSequenceTest, DestroyingTheMainWindowClosesThePort) {
  VdevProcess device;
  StartDevice(device);
  CreateWindows();
  ASSERT_TRUE(Mainform->InitPort());
  app_.DestroyForms();
  // The port is free again: another program can open it for exclusive use.
  DialogFailureReporter reporter;
  OwnedPort again(OpenPort(Com1Path(), reporter));
  EXPECT_NE(again, nullptr);
}

}  // namespace
