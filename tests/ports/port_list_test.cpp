// Port listing on a fake sysfs and /dev laid out as the kernel and udev lay them out, so
// that no test depends on, or opens, this machine's ports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ports/port_list_linux.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

class FakeSystem : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    const std::string usb = "pci0000:00/0000:00:14.0/usb1";
    AddUsbDevice(usb, {"idVendor=1d6b", "idProduct=0002", "serial=0000:00:14.0"});  // root hub
    AddUsbDevice(usb + "/1-1", {"idVendor=0403", "idProduct=6001", "serial=A12345",
                                "manufacturer=FTDI", "product=FT232R USB UART"});
    AddUsbDevice(usb + "/1-2", {"idVendor=05e3", "idProduct=0608", "serial=HUB1"});  // a hub
    AddUsbDevice(usb + "/1-2/1-2.3",
                 {"idVendor=2341", "idProduct=0043", "manufacturer=Arduino (www.arduino.cc)"});
    AddTty("ttyUSB0", usb + "/1-1/1-1:1.0/ttyUSB0");
    AddTty("ttyACM0", usb + "/1-2/1-2.3/1-2.3:1.0");
    AddTty("ttyS0", "pnp0/00:01", "4");
    AddTty("ttyS1", "platform/serial8250", "0");
    AddTty("ttyS2", "platform/serial8250", "4");
    AddTty("ttyS10", "platform/serial8250", "4");
    AddTty("tty0", "");
    Write(dev_ / "ttyUSB0", "");  // the other nodes are not there yet
    Link(dev_ / "serial/by-id" / kById, "../../ttyUSB0");
    Link(dev_ / "serial/by-path" / kByPath, "../../ttyUSB0");
    Link(dev_ / "serial/by-path" / kByPathV2, "../../ttyUSB0");
    Link(dev_ / "serial/by-id/usb-Unplugged_Adapter-if00-port0", "../../ttyUSB9");
  }

  static void Write(const fs::path& file, const std::string& line) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << line << '\n';
  }
  static void Link(const fs::path& link, const std::string& target) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
  }

  // Only the attributes given: the kernel leaves out the strings a device does not have.
  void AddUsbDevice(const std::string& folder, std::initializer_list<std::string> attributes) {
    for (const std::string& attribute : attributes) {
      const size_t equals = attribute.find('=');
      Write(sys_ / "devices" / folder / attribute.substr(0, equals), attribute.substr(equals + 1));
    }
  }

  // As in sysfs: class/tty/NAME leads to the tty's folder below its device, whose
  // `device` link leads back up; a virtual terminal has no device.
  void AddTty(const std::string& name, const std::string& device, const std::string& type = "") {
    const std::string folder = (device.empty() ? "virtual" : device) + "/tty/" + name;
    fs::create_directories(sys_ / "devices" / folder);
    if (!device.empty()) fs::create_symlink("../..", sys_ / "devices" / folder / "device");
    if (!type.empty()) Write(sys_ / "devices" / folder / "type", type);
    Link(sys_ / "class/tty" / name, "../../devices/" + folder);
  }

  std::vector<std::string> ListedLines(const fs::path& devRoot) {
    std::vector<ListedPort> ports;
    std::string error;
    EXPECT_TRUE(ListSysfsPorts(ports, sys_, devRoot, error)) << error;
    std::vector<std::string> lines;
    for (const ListedPort& port : ports) lines.push_back(FormatListedPort(port));
    return lines;
  }

  static constexpr const char* kById = "usb-FTDI_FT232R_USB_UART_A12345-if00-port0";
  static constexpr const char* kByPath = "pci-0000:00:14.0-usb-0:1:1.0-port0";
  static constexpr const char* kByPathV2 = "pci-0000:00:14.0-usbv2-0:1:1.0-port0";
  ScratchDir scratch_{"fwflash-ports"};
  const fs::path sys_ = fs::path(scratch_.Path()) / "sys";
  const fs::path dev_ = fs::path(scratch_.Path()) / "dev";
};

// No tty0 (virtual) and no ttyS1 (no UART); USB details from the nearest USB device, not
// from the hub or root hub above it; stable names only where a link leads to the node.
TEST_F(FakeSystem, ListsPortsWithHardwareInNaturalOrder) {
  const std::string dev = dev_.string();
  const std::vector<std::string> expected = {
      dev + "/ttyACM0  usb=2341:0043 manufacturer=\"Arduino (www.arduino.cc)\"", dev + "/ttyS0",
      dev + "/ttyS2", dev + "/ttyS10",
      dev + "/ttyUSB0  by-id=" + dev + "/serial/by-id/" + kById + "  by-path=" + dev +
          "/serial/by-path/" + kByPath + "  by-path=" + dev + "/serial/by-path/" + kByPathV2 +
          "  usb=0403:6001 serial=A12345 manufacturer=FTDI product=\"FT232R USB UART\""};
  EXPECT_EQ(ListedLines(dev_), expected);
}

TEST_F(FakeSystem, StableLinksAreMatchedWhereTheyLead) {
  const fs::path linkedDev = fs::path(scratch_.Path()) / "linked-dev";
  fs::create_directory_symlink(dev_, linkedDev);
  const std::vector<std::string> throughLink = ListedLines(linkedDev);
  ASSERT_EQ(throughLink.size(), 5u);
  EXPECT_NE(throughLink.back().find(kByPathV2), std::string::npos);
  fs::remove_all(dev_ / "serial");  // no udev, or no adapter ever plugged in
  for (const std::string& line : ListedLines(dev_))
    EXPECT_EQ(line.find("by-"), std::string::npos) << line;
}

// The reason names the folder that could not be read.
TEST_F(FakeSystem, UnreadableFoldersFailTheListing) {
  std::vector<ListedPort> ports = {ListedPort{}};
  std::string error;
  EXPECT_FALSE(ListSysfsPorts(ports, scratch_.Path() + "/no-sys", dev_, error));
  EXPECT_TRUE(ports.empty());
  EXPECT_EQ(error.rfind("cannot list serial ports: " + scratch_.Path() + "/no-sys/class/tty: ", 0), 0u)
      << error;
  fs::remove_all(dev_ / "serial/by-path");
  Write(dev_ / "serial/by-path", "not a folder");
  EXPECT_FALSE(ListSysfsPorts(ports, sys_, dev_, error));
  EXPECT_TRUE(ports.empty());
  EXPECT_NE(error.find((dev_ / "serial/by-path").string()), std::string::npos) << error;
}

// Reads this machine's sysfs only; whether it opens anything is a matter for strace.
TEST(RealSystem, ListsNoTerminalsAndNoPseudoTerminals) {
  std::vector<ListedPort> ports;
  std::string error;
  ASSERT_TRUE(ListSerialPorts(ports, error)) << error;
  for (const ListedPort& port : ports) {
    EXPECT_EQ(port.path.find("pts"), std::string::npos) << port.path;
    EXPECT_NE(port.path, "/dev/tty0");
  }
}

TEST(FormatListedPort, QuotesValuesThatWouldBreakTheLine) {
  ListedPort port;
  port.path = "COM5";
  port.vendorId = "10c4", port.productId = "ea60";
  port.serial = "0001 \"B\"\\";
  port.manufacturer = "Silicon\\Labs";
  port.product = "CP2102\x7f";
  port.friendlyName = "Port série USB\t(COM5)";
  EXPECT_EQ(FormatListedPort(port),
            "COM5  usb=10c4:ea60 serial=\"0001 \\\"B\\\"\\\\\""
            " manufacturer=\"Silicon\\\\Labs\" product=\"CP2102\\x7F\""
            "  name=\"Port série USB\\x09(COM5)\"");
}

// Ids are shown as "vid:pid serial"; an id that is not a USB device's leaves the port as
// it was.
TEST(ParseUsbInstanceId, ReadsUsbIdsAndOnlyRealSerialNumbers) {
  const std::pair<const char*, const char*> cases[] = {
      {"USB\\VID_0403&PID_6001\\A12345", "0403:6001 A12345"},
      {"usb\\VID_10C4&PID_EA60\\0001", "10c4:ea60 0001"},
      {"USB\\VID_2341&PID_0043\\5&2A1B3C4D&0&2", "2341:0043 "},           // made up by Windows
      {"USB\\VID_0483&PID_5740&MI_00\\6&1234ABCD&0&0000", "0483:5740 "},  // an interface
      {"ACPI\\PNP0501\\1", "as it was"},
      {"FTDIBUS\\VID_0403+PID_6001+A12345A\\0000", "as it was"},
      {"HID\\VID_046D&PID_C52B\\7&1A2B&0&0000", "as it was"},
      {"USB\\VID_0403\\A12345", "as it was"},
      {"USB\\VID_04031&PID_6001\\A", "as it was"},
      {"", "as it was"}};
  for (const auto& [id, expected] : cases) {
    ListedPort port;
    port.vendorId = "as it was";
    const bool usb = ParseUsbInstanceId(id, port);
    EXPECT_EQ(usb ? port.vendorId + ":" + port.productId + " " + port.serial
                  : port.vendorId + port.productId + port.serial,
              expected)
        << id;
  }
}

}  // namespace
