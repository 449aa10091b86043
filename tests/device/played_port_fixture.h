// COM1 on a pseudo-terminal whose device side the test plays, opened as the program opens
// it (with a stop request), with the failures kept in order.
#pragma once

#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

#include "device/frame_codec.h"
#include "device/serial_port.h"
#include "tests/device/recording_reporter.h"
#include "tests/support/pseudo_terminal_pair.h"

class PlayedPortTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pair_.Ok());
    port_.reset(OpenPort(Com1Path(), reporter_, &stop_));
    ASSERT_NE(port_, nullptr);
  }
  void TearDown() override { unsetenv("FWFLASH_COM1"); }

  void DeviceSends(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(write(pair_.Device(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  PseudoTerminalPair pair_;
  StopRequest stop_;
  RecordingReporter reporter_;
  OwnedPort port_;
};

// A CAPS frame with the given payload, as a device sends it in answer to the probe.
inline std::vector<uint8_t> CapsFrame(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> frame;
  AppendFrame(frame, frames::kCaps, 0, payload.data(), static_cast<uint16_t>(payload.size()));
  return frame;
}
