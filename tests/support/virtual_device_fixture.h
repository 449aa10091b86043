// Tests against fwflash-vdev: each test gets its own device on a pseudo-terminal, linked
// as <temporary dir>/com1 and set as COM1, with its report file and expected image there.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/transfer_progress.h"
#include "tests/device/message_texts.h"
#include "tests/support/dialog_recorder.h"
#include "texts/device_messages.h"
#include "tests/support/scratch_dir.h"
#include "tools/vdev/vdev_process.h"

class CountingProgress : public TransferProgress {
 public:
  void ByteAccepted() override { ++steps; }
  uint32_t steps = 0;
};

class VirtualDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.Path();
    ASSERT_FALSE(dir_.empty());
    setenv("FWFLASH_COM1", Com1().c_str(), 1);
  }

  void TearDown() override {
    device_.Stop();
    unsetenv("FWFLASH_COM1");
  }

  std::string Com1() const { return dir_ + "/com1"; }

  // Starts a device that serves one conversation and expects image; more options after.
  void StartExpecting(const std::vector<uint8_t>& image, std::vector<std::string> options = {}) {
    std::ofstream(dir_ + "/image", std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    options.insert(options.end(), {"--expect", dir_ + "/image"});
    Start(options);
  }

  void Start(std::vector<std::string> options) {
    options.insert(options.end(), {"--link", Com1(), "--report", dir_ + "/report", "--quiet",
                                   "--timeout", "60"});
    ASSERT_TRUE(device_.Start(options)) << device_.Error();
  }

  // The device's exit status, once the program has closed the port.
  int DeviceExit() { return device_.WaitForExit(10000); }

  // The device's report of its last conversation, key by key.
  std::map<std::string, std::string> Report() const { return ReadVdevReport(dir_ + "/report"); }

  ScratchDir scratch_{"fwflash-vdev-test"};
  std::string dir_;
  VdevProcess device_;
  DialogRecorder dialogs_;
  DialogFailureReporter reporter_;
  CountingProgress progress_;
};
