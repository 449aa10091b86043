// fwflash.exe itself under Wine, started by a command line that names another file: the
// title comes from the program's own file; the three windows' titles and title-bar
// buttons; one owner window owns every window and dialog; a dialog stays above the main
// window. COM1 opens nothing here, so a press shows the two dialogs of a missing port.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/win32/exe_file.h"
#include "tests/win32/window_look.h"

namespace {

constexpr const char* kFormClass = "FwflashForm";

// Polls for a condition; the time only bounds a failure.
bool WaitFor(const std::function<bool()>& done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 30000) return false;
    Sleep(20);
  }
  return true;
}

LONG StyleOf(HWND window) { return GetWindowLongA(window, GWL_STYLE); }

// The message dialog on the screen now, with the text it shows.
HWND DialogSaying(const std::string& text) {
  HWND dialog = FindWindowA("FwflashMessage", nullptr);
  return dialog != nullptr && IsWindowVisible(dialog) &&
                 TextOf(FindWindowExA(dialog, nullptr, "Static", nullptr)) == text
             ? dialog
             : nullptr;
}

class Program : public testing::Test {
 protected:
  void SetUp() override {
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);  // no language file there
    std::string commandLine = "\"C:\\elsewhere\\Other.Name.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(ProgramPath().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, directory, &startup, &process_));
    CloseHandle(process_.hThread);
  }
  void TearDown() override {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
  }

  HWND Window(const char* title) {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowA(kFormClass, title)) != nullptr; });
    return window;
  }

  PROCESS_INFORMATION process_ = {};
};

TEST_F(Program, ItsWindowsAndDialogsBelongToOneOwnerTitledAfterItsOwnFile) {
  HWND main = Window("Firmware Flash Program");
  HWND progress = Window("Flashing... Please Wait!");
  HWND done = Window("Congratulation");
  ASSERT_TRUE(main && progress && done);
  ASSERT_TRUE(WaitFor([main] { return IsWindowVisible(main) != FALSE; }));
  HWND owner = GetWindow(main, GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(TextOf(owner), "fwflash") << "not the name of the command line";
  EXPECT_EQ(GetWindow(progress, GW_OWNER), owner);
  EXPECT_EQ(GetWindow(done, GW_OWNER), owner);

  // The border is fixed everywhere; the buttons are those the border icons allow.
  for (HWND window : {main, progress, done}) EXPECT_FALSE(StyleOf(window) & WS_THICKFRAME);
  EXPECT_EQ(StyleOf(main) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(StyleOf(progress) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(StyleOf(done) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);

  HWND button = FindWindowExA(main, nullptr, "Button", nullptr);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = DialogSaying("Cannot open COM1 port!")) != nullptr; }));
  EXPECT_EQ(TextOf(dialog), "fwflash");
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
  SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(Above(dialog, main)) << "the disabled main window raised stays below the dialog";
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] {
    return (dialog = DialogSaying("Cannot initialize com1, exit...")) != nullptr;
  }));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);

  ASSERT_EQ(WaitForSingleObject(process_.hProcess, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process_.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
