// The language file on Windows: read from the working directory in binary, so that the
// reader's own rules (carriage returns dropped, line feeds kept) give the same texts as
// on Linux; a directory of that name keeps the defaults without a message.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/dialog_recorder.h"
#include "tests/support/text_defaults.h"
#include "texts/language_file.h"
#include "texts/text_table.h"

namespace {

class LanguageFileTest : public testing::Test {
 protected:
  void SetUp() override {
    GetCurrentDirectoryA(MAX_PATH, previous_);
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    dir_ = std::string(base) + "fwflash-lang-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(previous_);
    RestoreDefaultTexts();
  }

  std::string dir_;
  char previous_[MAX_PATH] = "";
};

TEST_F(LanguageFileTest, LinesOfTheWorkingDirectorysFileReplaceTheFirstTexts) {
  std::ofstream("deflang.txt", std::ios::binary) << "v1.0\r\nfirst\rline\r\n\x1A" "after Ctrl-Z";
  DialogRecorder dialogs;
  LoadLanguageFile();
  EXPECT_EQ(ReadTextSlot(kTextLangVer), "v1.0\n");
  EXPECT_EQ(ReadTextSlot(1), "firstline\n");
  EXPECT_EQ(ReadTextSlot(kTextUnused2), std::string(TextSlotBytes(kTextUnused2)));
  EXPECT_EQ(ReadTextSlot(kTextFlashButton), "Flash!");
  EXPECT_TRUE(dialogs.All().empty());
}

TEST_F(LanguageFileTest, ADirectoryOfThatNameKeepsTheDefaultsWithoutAMessage) {
  ASSERT_TRUE(CreateDirectoryA("deflang.txt", nullptr));
  DialogRecorder dialogs;
  LoadLanguageFile();
  EXPECT_EQ(ReadTextSlot(kTextLangVer), " ");
  EXPECT_EQ(ReadTextSlot(kTextMainTitle), "Firmware Flash Program");
  EXPECT_TRUE(dialogs.All().empty());
}

}  // namespace
