// The payload block inside fwflash.exe: two tags at the layout's distance, the block in
// writable initialised data, and its bytes exactly the program's block.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_block.h"
#include "payload/payload_image.h"
#include "payload/payload_tag.h"
#include "tests/win32/exe_file.h"

namespace {

const std::string kTag(kPayloadTag);

std::vector<size_t> TagOffsets(const std::string& file) {
  std::vector<size_t> offsets;
  for (size_t at = file.find(kTag); at != std::string::npos; at = file.find(kTag, at + 1))
    offsets.push_back(at);
  return offsets;
}

// The characteristics of the section that holds a file offset; 0 when none does.
DWORD SectionAt(const std::string& file, size_t offset) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
    if (offset >= section->PointerToRawData &&
        offset < section->PointerToRawData + section->SizeOfRawData)
      return section->Characteristics;
  return 0;
}

TEST(PayloadInExecutableTest, TheTagOccursTwiceAtTheLayoutsDistance) {
  std::string file = ReadWholeFile(ProgramPath());
  ASSERT_FALSE(file.empty()) << ProgramPath();
  std::vector<size_t> tags = TagOffsets(file);
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[1] - tags[0], payload_layout::kTextTagOffset);
  EXPECT_EQ(file[tags[0] + payload_layout::kTagSize], '\0');
  PayloadImage image;
  std::string error;
  ASSERT_TRUE(image.Locate(std::vector<uint8_t>(file.begin(), file.end()), kPayloadTag, error)) << error;
  EXPECT_EQ(image.BlockOffset(), tags[0]);
}

TEST(PayloadInExecutableTest, TheBlockSitsWholeInWritableInitialisedData) {
  std::string file = ReadWholeFile(ProgramPath());
  std::vector<size_t> tags = TagOffsets(file);
  ASSERT_FALSE(tags.empty());
  size_t first = tags[0], last = first + payload_layout::kBlockSize - 1;
  DWORD characteristics = SectionAt(file, first);
  EXPECT_EQ(SectionAt(file, last), characteristics);
  EXPECT_TRUE(characteristics & IMAGE_SCN_CNT_INITIALIZED_DATA);
  EXPECT_TRUE(characteristics & IMAGE_SCN_MEM_WRITE);
}

TEST(PayloadInExecutableTest, TheExecutablesBlockIsTheProgramsBlockByteForByte) {
  std::string file = ReadWholeFile(ProgramPath());
  std::vector<size_t> tags = TagOffsets(file);
  ASSERT_FALSE(tags.empty());
  ASSERT_LE(tags[0] + sizeof Payload, file.size());
  EXPECT_EQ(std::memcmp(file.data() + tags[0], &Payload, sizeof Payload), 0);
  uint32_t pictureSize, firmwareSize;
  std::memcpy(&pictureSize, file.data() + tags[0] + payload_layout::kPictureSizeOffset, 4);
  std::memcpy(&firmwareSize, file.data() + tags[0] + payload_layout::kFirmwareSizeOffset, 4);
  EXPECT_EQ(pictureSize, 1272u);
  EXPECT_EQ(firmwareSize, 3612u);
  EXPECT_EQ(file.substr(tags[0] + payload_layout::kPictureOffset, 2), "BM");
}

}  // namespace
