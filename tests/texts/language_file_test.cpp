// The language file: "deflang.txt" in the working directory replaces the texts line by
// line, read as the Windows C library reads a text-mode file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/dialog_recorder.h"
#include "tests/texts/default_texts_fixture.h"
#include "tests/support/scratch_dir.h"
#include "texts/language_file.h"
#include "texts/text_table.h"

namespace {

// Each test runs in a fresh working directory of its own.
class LanguageFileTest : public DefaultTextsTest {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(previous_dir_, sizeof previous_dir_), nullptr);
    dir_ = scratch_.Path();
    ASSERT_FALSE(dir_.empty());
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_dir_), 0);
    DefaultTextsTest::TearDown();
  }

  // Writes deflang.txt into the working directory and loads it as the program does.
  void Load(const std::string& bytes) {
    std::ofstream("deflang.txt", std::ios::binary) << bytes;
    LoadLanguageFile();
  }

  void ExpectDefaultsFrom(int first_slot) {
    for (int slot = first_slot; slot < kTextSlotCount; ++slot)
      EXPECT_EQ(ReadTextSlot(slot), kDefaultTexts[slot]) << "slot " << slot;
  }

  ScratchDir scratch_{"fwflash-lang"};
  std::string dir_;
  char previous_dir_[PATH_MAX];
};

TEST_F(LanguageFileTest, AShortFileChangesOnlyTheFirstSlotsAndKeepsLineFeeds) {
  Load("Sprache 1.0\nEins\n\nVier");
  EXPECT_EQ(ReadTextSlot(0), "Sprache 1.0\n");
  EXPECT_EQ(ReadTextSlot(1), "Eins\n");
  EXPECT_EQ(ReadTextSlot(2), "\n");  // an empty line is a single line feed
  EXPECT_EQ(ReadTextSlot(3), "Vier");  // the last line has no line feed of its own
  ExpectDefaultsFrom(4);
}

TEST_F(LanguageFileTest, LongLinesAreCutInto254CharacterPiecesThatMoveLaterTextsDown) {
  const std::string x254(254, 'x');
  Load(x254 + "\n" + std::string(255, 'y') + "\n" + std::string(600, 'z') + "\nafter\n");
  EXPECT_EQ(ReadTextSlot(0), x254);
  EXPECT_EQ(ReadTextSlot(1), "\n");  // the 254-character line's own line feed
  EXPECT_EQ(ReadTextSlot(2), std::string(254, 'y'));
  EXPECT_EQ(ReadTextSlot(3), "y\n");
  EXPECT_EQ(ReadTextSlot(4), std::string(254, 'z'));
  EXPECT_EQ(ReadTextSlot(5), std::string(254, 'z'));
  EXPECT_EQ(ReadTextSlot(6), std::string(92, 'z') + "\n");
  EXPECT_EQ(ReadTextSlot(7), "after\n");
  ExpectDefaultsFrom(8);
  for (int slot = 0; slot < 7; ++slot) EXPECT_EQ(TextSlotBytes(slot)[254], '\0');
}

TEST_F(LanguageFileTest, LinesAfterThe26thAreNotRead) {
  std::string text;
  for (int line = 0; line < 30; ++line) text += "line " + std::to_string(line) + "\n";
  FILE* file = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadLanguageLines(file), 26);
  char next[16] = {};
  EXPECT_STREQ(std::fgets(next, sizeof next, file), "line 26\n");  // still unread
  std::fclose(file);
  EXPECT_EQ(ReadTextSlot(0), "line 0\n");
  EXPECT_EQ(ReadTextSlot(25), "line 25\n");
}

TEST_F(LanguageFileTest, CarriageReturnsVanishWhereverTheyStandAndDoNotCount) {
  std::string spaced;  // 254 characters, each followed by a carriage return
  for (int i = 0; i < 254; ++i) spaced += "s\r";
  Load("\rDOS\r line\r\r\n\r\r\n\r\n" + spaced + "\nend\r");
  EXPECT_EQ(ReadTextSlot(0), "DOS line\n");
  EXPECT_EQ(ReadTextSlot(1), "\n");
  EXPECT_EQ(ReadTextSlot(2), "\n");
  EXPECT_EQ(ReadTextSlot(3), std::string(254, 's'));
  EXPECT_EQ(ReadTextSlot(4), "\n");
  EXPECT_EQ(ReadTextSlot(5), "end");
  ExpectDefaultsFrom(6);
}

TEST_F(LanguageFileTest, TheFirstCtrlZEndsTheFile) {
  Load("one\ntw\x1Ao\nthree\n\x1A\n");
  EXPECT_EQ(ReadTextSlot(0), "one\n");
  EXPECT_EQ(ReadTextSlot(1), "tw");
  ExpectDefaultsFrom(2);

  DefaultTextsTest::TearDown();
  Load("\x1A" "first\n");
  ExpectDefaultsFrom(0);
}

TEST_F(LanguageFileTest, ANulInsideALineEndsItsTextButNotTheLine) {
  std::string text("ab\0cd\n", 6);
  text += std::string(1, '\0') + std::string(300, 'q') + "\nlast\n";
  Load(text);
  EXPECT_EQ(ReadTextSlot(0), "ab");
  EXPECT_EQ(std::string(TextSlotBytes(0), 4), std::string("ab\0\0", 4));  // "cd" never lands
  EXPECT_EQ(ReadTextSlot(1), "");  // the NUL and 253 'q' were one 254-character read
  EXPECT_EQ(ReadTextSlot(2), std::string(47, 'q') + "\n");
  EXPECT_EQ(ReadTextSlot(3), "last\n");
  EXPECT_EQ(ReadTextSlot(4), kDefaultTexts[4]);
}

// The same rules written differently: drop CRs, cut at Ctrl-Z, split into reads.
std::vector<std::string> ExpectedTexts(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string text;
  for (char c : bytes)
    if (c != '\r') text += c;
  std::vector<std::string> texts;
  for (size_t at = 0; at < text.size() && texts.size() < kTextSlotCount;) {
    size_t end = std::min(at + 254, text.size());
    size_t line_feed = text.find('\n', at);
    if (line_feed != std::string::npos && line_feed < end) end = line_feed + 1;
    std::string piece = text.substr(at, end - at);
    texts.push_back(piece.substr(0, piece.find('\0')));
    at = end;
  }
  return texts;
}

TEST_F(LanguageFileTest, RandomBytesGiveTheTextsTheRulesPredictAndNeverOverrunASlot) {
  std::mt19937 random(20240611);
  const char favourites[] = {'\n', '\r', '\x1A', '\0', 'a'};
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 4000, '\0');
    for (char& c : bytes)
      c = random() % 4 == 0 ? favourites[random() % 5] : static_cast<char>(random() % 256);
    Load(bytes);
    std::vector<std::string> expected = ExpectedTexts(bytes);
    for (int slot = 0; slot < kTextSlotCount; ++slot) {
      const char* slot_bytes = TextSlotBytes(slot);
      ASSERT_NE(std::memchr(slot_bytes, '\0', kTextSlotSize), nullptr) << "slot " << slot;
      std::string want = slot < int(expected.size()) ? expected[slot] : kDefaultTexts[slot];
      ASSERT_EQ(ReadTextSlot(slot), want) << "round " << round << ", slot " << slot;
    }
    DefaultTextsTest::TearDown();
  }
}

TEST_F(LanguageFileTest, AMissingUnreadableOrSpecialFileKeepsTheDefaultsWithoutAMessage) {
  DialogRecorder dialogs;
  LoadLanguageFile();  // no file at all
  ExpectDefaultsFrom(0);

  ASSERT_EQ(mkdir("deflang.txt", 0755), 0);  // opens on Linux, but every read fails
  LoadLanguageFile();
  ExpectDefaultsFrom(0);
  ASSERT_EQ(rmdir("deflang.txt"), 0);

  ASSERT_EQ(mkfifo("deflang.txt", 0644), 0);  // nobody writes: reading it would wait forever
  LoadLanguageFile();
  ExpectDefaultsFrom(0);
  ASSERT_EQ(unlink("deflang.txt"), 0);

  if (geteuid() != 0) {  // root reads whatever the permission bits say
    Load("Geheim\n");
    DefaultTextsTest::TearDown();
    ASSERT_EQ(chmod("deflang.txt", 0), 0);
    LoadLanguageFile();
    ExpectDefaultsFrom(0);
  }
  EXPECT_TRUE(dialogs.All().empty());
}

TEST_F(LanguageFileTest, AFileBesideTheProgramButNotInTheWorkingDirectoryIsNotFound) {
  char program[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", program, sizeof program - 1), 0);
  std::string beside = std::string(program).substr(0, std::string(program).rfind('/')) + "/deflang.txt";
  std::ofstream(beside) << "Beside the program\n";
  LoadLanguageFile();
  std::remove(beside.c_str());
  ExpectDefaultsFrom(0);
}

// A stream whose reads fail after its first bytes, as a failing disk would.
ssize_t ReadTwoLinesThenFail(void* cookie, char* buffer, size_t size) {
  auto* calls = static_cast<int*>(cookie);
  if ((*calls)++ > 0) {
    errno = EIO;
    return -1;
  }
  const char text[] = "first\nsecond\nthi";
  size_t length = std::min(size, sizeof text - 1);
  std::memcpy(buffer, text, length);
  return static_cast<ssize_t>(length);
}

TEST_F(LanguageFileTest, AReadErrorEndsTheFileAndKeepsTheLinesReadBeforeIt) {
  int calls = 0;
  FILE* file = fopencookie(&calls, "r", {ReadTwoLinesThenFail, nullptr, nullptr, nullptr});
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadLanguageLines(file), 2);
  std::fclose(file);
  EXPECT_EQ(ReadTextSlot(0), "first\n");
  EXPECT_EQ(ReadTextSlot(1), "second\n");
  ExpectDefaultsFrom(2);  // the interrupted "thi" is lost with the read
}

}  // namespace
