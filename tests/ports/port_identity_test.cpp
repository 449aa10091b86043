// A Linux port's identity on real pseudo-terminals and files: the same port by any path,
// and which listed ports --port auto takes for a USB adapter's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ports/port_identity.h"
#include "tests/support/pseudo_terminal_pair.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(SamePort, IsOneDeviceOrOneFileByAnyPathAndTextForPathsThatNameNothing) {
  PseudoTerminalPair one, other;
  ScratchDir scratch("fwflash-same-port");
  ASSERT_TRUE(one.Ok() && other.Ok() && !scratch.Path().empty());
  const std::string terminal = ptsname(one.Device()), otherTerminal = ptsname(other.Device());
  const std::string folder = scratch.Path(), link = folder + "/port-link", file = folder + "/file";
  fs::create_symlink(terminal, link);
  std::ofstream(file) << "not a port\n";
  std::ofstream(folder + "/other-file") << "not a port\n";
  fs::create_hard_link(file, folder + "/hard-link");
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {{terminal, terminal, true},
               {link, terminal, true},
               {terminal.substr(0, 5) + "./" + terminal.substr(5), terminal, true},
               {terminal, otherTerminal, false},
               {link, otherTerminal, false},
               {file, folder + "/hard-link", true},
               {file, folder + "/other-file", false},
               {folder + "/gone", folder + "/gone", true},
               {folder + "/gone", folder + "/gone-too", false},
               {folder + "/gone", terminal, false}};
  for (const auto& [a, b, same] : cases) {
    EXPECT_EQ(SamePort(a, b), same) << a << " ~ " << b;
    EXPECT_EQ(SamePort(b, a), same) << b << " ~ " << a;
  }
}

TEST(OnUsb, TakesOnlyUsbAdaptersTerminals) {
  const struct {
    const char* path;
    const char* vendorId;
    bool onUsb;
  } cases[] = {{"/dev/ttyUSB0", "0403", true},
               {"/dev/ttyACM12", "2341", true},
               {"/dev/ttyUSB0", "", false},  // not below a USB device
               {"/dev/ttyS0", "8086", false},  // a UART by its name, whatever lies above it
               {"/dev/pts/3", "", false},
               {"/dev/rfcomm0", "0a12", false}};
  for (const auto& [path, vendorId, onUsb] : cases) {
    ListedPort port;
    port.path = path;
    port.vendorId = vendorId;
    EXPECT_EQ(OnUsb(port), onUsb) << path << " " << vendorId;
  }
}

}  // namespace
