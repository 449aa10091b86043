#include "tests/forms/windows_fixture.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/text_defaults.h"
#include "forms/Done.h"
#include "forms/Main.h"
#include "forms/Progress.h"

void WindowsTest::SetUp() {
  workDir_ = scratch_.Path();
  ASSERT_FALSE(workDir_.empty());
  tmpDir_ = workDir_ + "/tmp";
  ASSERT_EQ(mkdir(tmpDir_.c_str(), 0700), 0);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  oldDir_ = cwd;
  ASSERT_EQ(chdir(workDir_.c_str()), 0);
  setenv("TMPDIR", tmpDir_.c_str(), 1);
  SetPort(workDir_ + "/no-such-port");
  previous_ = Application;
  Application = &app_;
  app_.Initialize("/usr/bin/fwflash");
}

void WindowsTest::TearDown() {
  app_.DestroyForms();
  Application = previous_;
  Mainform = nullptr;
  Form_Progress = nullptr;
  Form_Done = nullptr;
  RestoreDefaultTexts();
  ASSERT_EQ(chdir(oldDir_.c_str()), 0);
}

void WindowsTest::CreateWindows() {
  app_.CreateForm(Mainform);
  app_.CreateForm(Form_Progress);
  app_.CreateForm(Form_Done);
}

void WindowsTest::WriteLanguageFile(const std::string& contents) {
  std::ofstream(workDir_ + "/deflang.txt", std::ios::binary) << contents;
}

void WindowsTest::SetPort(const std::string& path) {
  setenv("FWFLASH_COM1", path.c_str(), 1);
  if (Mainform != nullptr) Mainform->PortPath = path;  // taken at creation, as at start-up
}
