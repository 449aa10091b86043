// A fresh application for each test, created as the program creates it, in a scratch
// working directory with its own temporary directory and a COM1 that does not exist.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "toolkit/toolkit.h"
#include "tests/support/dialog_recorder.h"
#include "tests/support/scratch_dir.h"

class WindowsTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The three windows in the program's order, each FormCreate run.
  void CreateWindows();
  void WriteLanguageFile(const std::string& contents);
  // COM1 for the next press.
  void SetPort(const std::string& path);

  ScratchDir scratch_{"fwflash-windows"};
  TApplication app_;
  DialogRecorder dialogs_;
  std::string workDir_, tmpDir_;

 private:
  TApplication* previous_ = nullptr;
  std::string oldDir_;
};
