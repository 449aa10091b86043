// A display that cannot be opened, in a process of its own: the window class is taken
// before the toolkit can register it. The failure reaches the system's error box, as the
// program's main shows it, instead of ending the program without a word.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "toolkit/toolkit.h"
#include "tests/win32/window_look.h"

namespace {

TEST(OpeningTheDisplay, AFailureIsShownInTheErrorBox) {
  WNDCLASSA taken = {};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = GetModuleHandleA(nullptr);
  taken.lpszClassName = "FwflashForm";
  ASSERT_NE(RegisterClassA(&taken), 0);
  std::string caption, text;
  WhileOpen("#32770", [&](HWND box) {
    caption = TextOf(box);
    text = TextOf(GetDlgItem(box, 0xFFFF));  // the system box's text control
  });
  TApplication application;
  try {
    application.Initialize("C:\\x\\FWFLASH.EXE");
    ADD_FAILURE() << "the display opened";
  } catch (const Exception& error) {
    application.ShowException(error);  // returns once the box is closed
  }
  EXPECT_EQ(caption, "Fwflash");
  EXPECT_EQ(text, "Cannot register the window class.");
}

}  // namespace
