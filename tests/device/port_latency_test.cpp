// The adapter's latency timer from a sysfs tree made in a temporary folder, as the
// usb-serial driver lays it out, under FWFLASH_SYSFS_ROOT.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "device/port_latency.h"
#include "tests/support/scratch_dir.h"

namespace {

class PortLatencyTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(sysfs_.Path().empty());
    setenv("FWFLASH_SYSFS_ROOT", sysfs_.Path().c_str(), 1);
  }
  void TearDown() override { unsetenv("FWFLASH_SYSFS_ROOT"); }

  void Timer(const std::string& port, const std::string& content) const {
    const std::string folder = sysfs_.Path() + "/bus/usb-serial/devices/" + port;
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/latency_timer") << content;
  }

  ScratchDir sysfs_{"fwflash-sysfs"};
  ScratchDir dev_{"fwflash-dev"};
};

TEST_F(PortLatencyTest, TheTimerOfTheAdapterBehindThePortIsRead) {
  Timer("ttyUSB0", "16\n");
  Timer("ttyUSB1", "1\n");
  EXPECT_EQ(PortLatencyMs("/dev/ttyUSB0"), 16);
  EXPECT_EQ(PortLatencyMs("/dev/ttyUSB1"), 1);
}

TEST_F(PortLatencyTest, APortNamedThroughALinkIsTheDeviceItLeadsTo) {
  Timer("ttyUSB3", "8\n");
  const std::string node = dev_.Path() + "/ttyUSB3", link = dev_.Path() + "/usb-FTDI_FT232R-if00-port0";
  std::ofstream(node).put('\n');
  ASSERT_EQ(symlink(node.c_str(), link.c_str()), 0);
  EXPECT_EQ(PortLatencyMs(link), 8);
}

TEST_F(PortLatencyTest, APortWithoutATimerOrAnUnreadableOneHasNone) {
  Timer("ttyUSB2", "not a number\n");
  Timer("ttyUSB4", "");
  for (const char* port : {"/dev/ttyACM0", "/dev/pts/3", "/dev/ttyUSB2", "/dev/ttyUSB4", "/dev/ttyUSB9", ""})
    EXPECT_EQ(PortLatencyMs(port), -1) << port;
}

}  // namespace
