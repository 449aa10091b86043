// The icon file as the system reads it: both images decode to the icon's pixels, and the
// executable carries exactly these images as its icon resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/win32/exe_file.h"
#include "tools/icon/icon_file.h"
#include "forms/program_icon.h"

namespace {

#pragma pack(push, 1)
struct DirectoryEntry {  // one image in a .ico file
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD size, offset;
};
struct GroupEntry {  // the same in an icon group resource
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD size;
  WORD id;
};
#pragma pack(pop)

const DirectoryEntry* Entries(const std::vector<uint8_t>& file) {
  return reinterpret_cast<const DirectoryEntry*>(file.data() + 6);
}

// The pixels of an icon as 0x00RRGGBB, or ~0u where the mask lets the screen through.
std::vector<uint32_t> Pixels(HICON icon, int side) {
  ICONINFO info;
  EXPECT_TRUE(GetIconInfo(icon, &info));
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = side;
  format.bmiHeader.biHeight = -side;  // top-down
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> colour(side * side), mask(side * side);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, side, colour.data(), &format, DIB_RGB_COLORS), side);
  EXPECT_EQ(GetDIBits(dc, info.hbmMask, 0, side, mask.data(), &format, DIB_RGB_COLORS), side);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  for (int i = 0; i < side * side; ++i)
    colour[i] = (mask[i] & 0xFFFFFF) != 0 ? ~0u : colour[i] & 0xFFFFFF;
  return colour;
}

std::vector<uint32_t> Expected(const char* const* rows, int side) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      char digit = rows[y][x];
      pixels.push_back(digit == ' ' ? ~0u
                                    : kProgramIcon.palette[digit <= '9' ? digit - '0'
                                                                        : digit - 'a' + 10]);
    }
  return pixels;
}

TEST(IconFileTest, BothImagesDecodeToTheIconsPixelsAndMask) {
  std::vector<uint8_t> file = IconFileBytes(kProgramIcon);
  ASSERT_GE(file.size(), 6 + 2 * sizeof(DirectoryEntry));
  ASSERT_EQ(file[4], 2);
  const struct {
    int side;
    const char* const* rows;
  } images[] = {{32, kProgramIcon.rows32}, {16, kProgramIcon.rows16}};
  for (int i = 0; i < 2; ++i) {
    const DirectoryEntry& entry = Entries(file)[i];
    SCOPED_TRACE(images[i].side);
    EXPECT_EQ(entry.width, images[i].side);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);
    ASSERT_LE(entry.offset + entry.size, file.size());
    HICON icon = CreateIconFromResourceEx(const_cast<uint8_t*>(file.data()) + entry.offset,
                                          entry.size, TRUE, 0x00030000, images[i].side,
                                          images[i].side, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(Pixels(icon, images[i].side), Expected(images[i].rows, images[i].side));
    DestroyIcon(icon);
  }
}

TEST(IconFileTest, TheExecutableCarriesTheseImagesAsItsIcon) {
  HMODULE program = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << ProgramPath();
  HRSRC group = FindResourceA(program, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(program, group)));
  ASSERT_EQ(directory[4], 2);
  std::vector<uint8_t> file = IconFileBytes(kProgramIcon);
  for (int i = 0; i < 2; ++i) {
    const GroupEntry& entry = reinterpret_cast<const GroupEntry*>(directory + 6)[i];
    const DirectoryEntry& expected = Entries(file)[i];
    EXPECT_EQ(entry.width, expected.width);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);
    HRSRC image = FindResourceA(program, MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(SizeofResource(program, image), expected.size);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(program, image)),
                          file.data() + expected.offset, expected.size), 0);
  }
  FreeLibrary(program);
}

}  // namespace
