// --port LABEL=PATH: what is a label and what stays a path, and labels that two stations share.
#include <gtest/gtest.h>

#include "stations/port_labels.h"

namespace {

std::pair<std::string, std::string> Split(const std::string& value) {
  std::string label, path;
  SplitPortLabel(value, label, path);
  return {label, path};
}

using Parts = std::pair<std::string, std::string>;

TEST(PortLabelTest, ALabelGoesBeforeAnAbsolutePathOrACOMName) {
  EXPECT_EQ(Split("A1=/dev/ttyUSB0"), Parts("A1", "/dev/ttyUSB0"));
  EXPECT_EQ(Split("left-3=/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"),
            Parts("left-3", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"));
  EXPECT_EQ(Split("st_1.b=COM5"), Parts("st_1.b", "COM5"));
  EXPECT_EQ(Split("x=com12"), Parts("x", "com12"));
  EXPECT_EQ(Split("B2=\\\\.\\COM10"), Parts("B2", "\\\\.\\COM10"));
  EXPECT_EQ(Split("B3=C:\\ports\\three"), Parts("B3", "C:\\ports\\three"));
  EXPECT_EQ(Split("0123456789abcdef=/dev/x"), Parts("0123456789abcdef", "/dev/x"));  // 16
  EXPECT_EQ(Split("A1=/dev/odd=name"), Parts("A1", "/dev/odd=name"));  // the first '=' only
}

TEST(PortLabelTest, AnythingElseIsAPathAsItStands) {
  for (const std::string value :
       {"/dev/ttyUSB0", "COM3", "auto", "ttyUSB=0", "dev=ttyUSB0", "a=b=/dev/x", "=/dev/x",
        "A1=", "A 1=/dev/x", "Ä1=/dev/x", "0123456789abcdefg=/dev/x", "/dev/by-id/usb-X=Y",
        "/dev/by-id/usb-X=/dev/y", "A1=COM", "A1=COM1x", "A1=C:relative"}) {
    EXPECT_EQ(Split(value), Parts("", value)) << value;
  }
}

TEST(PortLabelTest, LabelsAreTakenOffThePortsAndNoTwoStationsShareOne) {
  std::vector<std::string> ports{"A1=/dev/ttyUSB0", "/dev/ttyUSB1", "B1=COM4"};
  PortLabels labels;
  std::string error;
  ASSERT_TRUE(TakePortLabels(ports, labels, error)) << error;
  EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "COM4"}));
  EXPECT_EQ(StationName(labels, "/dev/ttyUSB0"), "A1 /dev/ttyUSB0");
  EXPECT_EQ(StationName(labels, "/dev/ttyUSB1"), "/dev/ttyUSB1");
  EXPECT_EQ(LabelOf(labels, "COM4"), "B1");

  std::vector<std::string> twice{"A1=/dev/ttyUSB0", "A2=/dev/ttyUSB1", "A1=/dev/ttyUSB2"};
  EXPECT_FALSE(TakePortLabels(twice, labels, error));
  EXPECT_EQ(error, "the label A1 is given to two stations");
}

}  // namespace
