// The temporary picture on Windows: the system's temporary directory and unique name, the
// ".bmp" twin, and never writing through a name that is already there.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "forms/temporary_picture.h"

namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& name) {
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Points the system's temporary directory (TMP) at a fresh directory for one test.
class TemporaryPictureTest : public testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, base), 0u);
    directory_ = std::string(base) + "fwflash-test-" + std::to_string(GetCurrentProcessId()) +
                 "-" + std::to_string(GetTickCount()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
    ASSERT_TRUE(CreateDirectoryA(directory_.c_str(), nullptr)) << directory_;
    GetEnvironmentVariableA("TMP", saved_, sizeof saved_);
    SetEnvironmentVariableA("TMP", directory_.c_str());
  }
  void TearDown() override { SetEnvironmentVariableA("TMP", saved_); }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory_ + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  std::string directory_;
  char saved_[MAX_PATH] = "";
};

const uint8_t kPicture[] = {'B', 'M', 0x00, 0x80, 0xFF, 0x0D, 0x0A, 0x1A, 0x00, 0x42};

TEST_F(TemporaryPictureTest, WritesThePictureBesideTheEmptyUniqueFileItsNameComesFrom) {
  std::string name;
  size_t written = 0;
  ASSERT_TRUE(WriteTemporaryPicture(kPicture, sizeof kPicture, name, written));
  EXPECT_EQ(written, sizeof kPicture);
  ASSERT_EQ(name.substr(name.size() - 4), ".bmp");
  std::string unique = name.substr(0, name.size() - 4);
  EXPECT_EQ(unique.rfind(directory_ + "pic", 0), 0u) << unique;
  EXPECT_TRUE(Exists(unique));
  EXPECT_EQ(ReadFile(unique), "");
  EXPECT_EQ(ReadFile(name), std::string(reinterpret_cast<const char*>(kPicture), sizeof kPicture));
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(TemporaryPictureTest, TwoStartsLeaveTwoDistinctPairs) {
  std::string first, second;
  size_t written = 0;
  ASSERT_TRUE(WriteTemporaryPicture(kPicture, sizeof kPicture, first, written));
  ASSERT_TRUE(WriteTemporaryPicture(kPicture, 3, second, written));
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadFile(second), std::string("BM\0", 3));
  EXPECT_EQ(Files().size(), 4u);
}

TEST_F(TemporaryPictureTest, AnExistingFileAtThePictureNameIsLeftUntouched) {
  std::string name = directory_ + "placed.bmp";
  std::ofstream(name, std::ios::binary) << "someone else's";
  size_t written = 0;
  EXPECT_FALSE(CreateNewPictureFile(name, kPicture, sizeof kPicture, written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(ReadFile(name), "someone else's");
}

TEST_F(TemporaryPictureTest, ADirectoryAtThePictureNameIsRefused) {
  std::string name = directory_ + "folder.bmp";
  ASSERT_TRUE(CreateDirectoryA(name.c_str(), nullptr));
  size_t written = 0;
  EXPECT_FALSE(CreateNewPictureFile(name, kPicture, sizeof kPicture, written));
}

TEST_F(TemporaryPictureTest, AMissingTemporaryDirectoryGivesNoPictureAndNoFile) {
  SetEnvironmentVariableA("TMP", (directory_ + "missing\\").c_str());
  std::string name;
  size_t written = 0;
  EXPECT_FALSE(WriteTemporaryPicture(kPicture, sizeof kPicture, name, written));
  EXPECT_TRUE(Files().empty());
}

TEST_F(TemporaryPictureTest, AnEmptyPictureMakesAnEmptyFile) {
  std::string name;
  size_t written = 1;
  ASSERT_TRUE(WriteTemporaryPicture(kPicture, 0, name, written));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(Exists(name));
  EXPECT_EQ(ReadFile(name), "");
}

}  // namespace
