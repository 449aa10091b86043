// The toolkit's Win32 backend under Wine: the windows as the system sees them, the picture
// drawn clipped, progress drawn while a handler holds the thread, input made while a
// window was disabled thrown away, keys, the close box, the message dialog, and the
// application's owner window with its one taskbar button.
#include <windows.h>

#include <commctrl.h>
#undef CreateWindow  // the layer's backend::CreateWindow, not the system's macro

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "toolkit/bitmap_file.h"
#include "toolkit/message_dialog.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_backend.h"
#include "tests/toolkit/sample_form.h"
#include "tests/win32/window_look.h"

namespace {

const char* const kPicture = "Z:" FWFLASH_SOURCE_DIR "/payload/product_picture.bmp";
const std::string kSuffix = std::to_string(GetCurrentProcessId());
constexpr COLORREF kWindowColour = RGB(86, 97, 168);

// Handles messages through the layer's own loop until done() or the time is up; the time
// only bounds a failure. A timer wakes the loop when nothing else happens.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 5000) {
  const DWORD start = GetTickCount();
  const UINT_PTR wake = SetTimer(nullptr, 0, 10, nullptr);
  bool finished = true;
  while (!done()) {
    if (GetTickCount() - start > milliseconds) {
      finished = false;
      break;
    }
    backend::WaitForEvents();
  }
  KillTimer(nullptr, wake);
  return finished;
}

void Pump(DWORD milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

void ClickAt(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  INPUT input[3] = {};
  for (INPUT& i : input) i.type = INPUT_MOUSE;
  input[0].mi.dx = ((r.left + r.right) / 2) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input[0].mi.dy = ((r.top + r.bottom) / 2) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, input, sizeof(INPUT));
}

HWND ChildOfClass(HWND parent, const char* windowClass, int index = 0) {
  HWND child = nullptr;
  for (int i = 0; i <= index; ++i) child = FindWindowExA(parent, child, windowClass, nullptr);
  return child;
}

template <int N>
struct TestWindow : SampleForm {
  static FormDescription description;
  TestWindow() : SampleForm(description) {}
};
template <int N>
FormDescription TestWindow<N>::description;

class Win32Gui : public testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<TApplication>();
    app_->Initialize(("C:\\x\\FWFLASH-GUI-" + kSuffix + ".EXE").c_str());
    ASSERT_TRUE(app_->HasDisplay());
  }

  template <int N>
  TestWindow<N>* Create(const std::string& caption, FormPosition position = FormPosition::Designed,
                        bool systemMenu = true) {
    captions_[N] = caption + " " + kSuffix;
    TestWindow<N>::description = SampleFormDescription(captions_[N].c_str(), position, systemMenu);
    TestWindow<N>* form = nullptr;
    app_->CreateForm(form);
    return form;
  }

  HWND Native(int n) const { return FindWindowA(nullptr, captions_[n].c_str()); }

  // A main window and a second one over it, both shown; returns the owner they share.
  HWND ShowMainAndOther() {
    main_ = Create<0>("Main");
    other_ = Create<1>("Other", FormPosition::MainFormCenter);
    main_->Show();
    other_->Show();
    return GetWindow(Native(0), GW_OWNER);
  }

  std::string captions_[3];
  TForm *main_ = nullptr, *other_ = nullptr;
  std::unique_ptr<TApplication> app_;
};

TEST_F(Win32Gui, AWindowHasItsFixedBorderSizePlaceCaptionBytesAndControls) {
  auto* form = Create<0>("Caf\xE9");
  form->Show();
  HWND window = Native(0);
  ASSERT_NE(window, nullptr) << "the caption's bytes reach the system unchanged";
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  EXPECT_EQ(client.right, 203);
  EXPECT_EQ(client.bottom, 243);
  EXPECT_EQ(outer.left, 198);
  EXPECT_EQ(outer.top, 132);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);

  HWND label = ChildOfClass(window, "Static", 0), text = ChildOfClass(window, "Static", 2);
  EXPECT_EQ(TextOf(label), "Lang@ver &1\tEnglish") << "texts are not rewritten for display";
  EXPECT_GT(form->Control<TLabel>("Lbl_LangVer")->Width(), 60) << "sized itself to its text";
  EXPECT_TRUE(GetWindowLongA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  GetClientRect(text, &client);
  EXPECT_EQ(client.right, 149) << "a 2-pixel sunken edge inside the box";
  EXPECT_EQ(client.bottom, 133);
  HWND button = ChildOfClass(window, "Button");
  EXPECT_EQ(TextOf(button), "&Flash && go");
  EXPECT_EQ(GetFocus(), button);
  HWND bar = ChildOfClass(window, PROGRESS_CLASSA);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH);
}

TEST_F(Win32Gui, ThePictureIsDrawnFromItsTopLeftCornerClippedToTheControl) {
  auto* form = Create<0>("Picture");
  form->SetColor(0xA86156);
  TImage* image = form->Control<TImage>("Image_Product");
  image->Picture().LoadFromFile(kPicture);
  image->Repaint();
  form->Show();
  std::ifstream file(kPicture + 2, std::ios::binary);  // the same file through the C library
  BitmapPixels picture;
  ASSERT_EQ(DecodeBitmap({std::istreambuf_iterator<char>(file), {}}, picture), "");
  auto pictureAt = [&picture](int x, int y) {
    const uint8_t* p = &picture.rgb[(y * picture.width + x) * 3];
    return RGB(p[0], p[1], p[2]);
  };
  HDC dc = GetDC(Native(0));
  EXPECT_EQ(GetPixel(dc, 2, 2), kWindowColour);
  EXPECT_EQ(GetPixel(dc, 8, 8), pictureAt(0, 0));
  EXPECT_EQ(GetPixel(dc, 16, 16), pictureAt(8, 8));
  EXPECT_EQ(GetPixel(dc, 16, 9), pictureAt(8, 1));
  EXPECT_EQ(GetPixel(dc, 17, 12), kWindowColour) << "clipped right of the control";
  EXPECT_EQ(GetPixel(dc, 12, 17), kWindowColour) << "clipped below the control";
  ReleaseDC(Native(0), dc);
}

TEST_F(Win32Gui, ProgressStepsAreDrawnWhileAHandlerHoldsTheThread) {
  auto* form = Create<0>("Progress");
  form->Show();
  Pump(200);
  TProgressBar* bar = form->Control<TProgressBar>("ProgressBar");
  bar->SetMax(100);
  bar->SetPosition(0);
  for (int i = 0; i < 50; ++i) bar->StepIt();
  // No message is handled between the steps and the look at the bar.
  HWND native = ChildOfClass(Native(0), PROGRESS_CLASSA);
  RECT r;
  GetClientRect(native, &r);
  HDC dc = GetDC(native);
  const COLORREF filled = GetPixel(dc, r.right / 4, r.bottom / 2);
  const COLORREF empty = GetPixel(dc, r.right * 3 / 4, r.bottom / 2);
  ReleaseDC(native, dc);
  EXPECT_EQ(filled, GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_NE(empty, filled);
}

TEST_F(Win32Gui, AClickMadeWhileTheWindowWasDisabledDoesNotPressItsButton) {
  auto* form = Create<0>("Disabled");
  int clicks = 0;
  form->Control<TButton>("Btn_Flash")->OnClick = [&clicks] { ++clicks; };
  form->Show();
  Pump(200);
  HWND button = ChildOfClass(Native(0), "Button");
  form->SetEnabled(false);
  ClickAt(button);  // made while a handler would hold the thread
  form->SetEnabled(true);
  Pump(500);
  EXPECT_EQ(clicks, 0);
  ClickAt(button);
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 1; })) << "an enabled window takes the same click";
}

TEST_F(Win32Gui, EnterAndSpacePressTheFocusedButtonEscapeLeavesTheWindowOpen) {
  auto* form = Create<0>("Keys");
  int clicks = 0;
  form->Control<TButton>("Btn_Flash")->OnClick = [&clicks] { ++clicks; };
  form->Show();
  Pump(200);
  PressKey(VK_ESCAPE);
  Pump(300);
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(IsWindowVisible(Native(0)));
  PressKey(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 1; }));
  PressKey(VK_SPACE);
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 2; }));
}

TEST_F(Win32Gui, TheCloseBoxHidesASecondaryWindowIsIgnoredWithoutSystemMenuAndEndsOnTheMain) {
  Create<0>("Main");
  auto* other = Create<1>("Other", FormPosition::MainFormCenter);
  auto* noMenu = Create<2>("NoMenu", FormPosition::Designed, false);
  other->Show();
  noMenu->Show();
  EXPECT_FALSE(GetWindowLongA(Native(2), GWL_STYLE) & WS_SYSMENU);
  SendMessageA(Native(1), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(PumpUntil([other] { return !other->Visible(); }));
  EXPECT_FALSE(IsWindowVisible(Native(1)));
  PostMessageA(Native(2), WM_CLOSE, 0, 0);
  Pump(300);
  EXPECT_TRUE(noMenu->Visible());
  EXPECT_FALSE(app_->Terminated());
  PostMessageA(Native(0), WM_CLOSE, 0, 0);
  app_->Run();  // returns once the main window's close box ended it
  EXPECT_TRUE(app_->Terminated());
}

// What a timer saw of the message dialog while it was open.
struct DialogLook {
  std::string caption, text, clipboard;
  LONG style = 0, exStyle = 0;
  RECT outer = {};
  bool othersEnabled = true;
  HWND other = nullptr;
  WORD closeKey = VK_RETURN;
};
DialogLook g_look;

// First look and copy with Ctrl+C, at the next tick read the clipboard and close: the
// keys must go through the dialog's own loop.
void CALLBACK LookAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindWindowA("FwflashMessage", nullptr);
  if (dialog == nullptr) return;
  if (g_look.caption.empty()) {
    g_look.caption = TextOf(dialog);
    g_look.text = TextOf(ChildOfClass(dialog, "Static"));
    g_look.style = GetWindowLongA(dialog, GWL_STYLE);
    g_look.exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    GetWindowRect(dialog, &g_look.outer);
    g_look.othersEnabled = IsWindowEnabled(g_look.other);
    INPUT copy[4] = {};
    for (INPUT& i : copy) i.type = INPUT_KEYBOARD;
    copy[0].ki.wVk = copy[3].ki.wVk = VK_CONTROL;
    copy[1].ki.wVk = copy[2].ki.wVk = 'C';
    copy[2].ki.dwFlags = copy[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, copy, sizeof(INPUT));
    return;
  }
  KillTimer(nullptr, timer);
  if (OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      g_look.clipboard = static_cast<const char*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
  }
  PressKey(g_look.closeKey);
}

TEST_F(Win32Gui, TheMessageDialogIsModalCentredWrappedAndClosesWithEnterOrEscape) {
  auto* form = Create<0>("Owner");
  form->Show();
  for (WORD key : {VK_RETURN, VK_ESCAPE}) {
    g_look = DialogLook{};
    g_look.other = Native(0);
    g_look.closeKey = key;
    SetTimer(nullptr, 0, 300, LookAndClose);
    const std::string text =
        "The device did not answer. Check that the cable is plugged in, that the device is switched "
        "on, and that nothing else uses the port, then press &Flash again.\nSecond line:\tcaf\xE9";
    ShowMessageDialog(text);  // returns only once the key closed it
    EXPECT_EQ(g_look.caption, "Fwflash-gui-" + kSuffix);
    EXPECT_EQ(g_look.text, text);
    EXPECT_EQ(g_look.clipboard, text);
    EXPECT_FALSE(g_look.othersEnabled) << "the program's other windows are disabled";
    EXPECT_TRUE(IsWindowEnabled(Native(0))) << "and enabled again afterwards";
    EXPECT_FALSE(g_look.style & WS_THICKFRAME);
    EXPECT_TRUE(g_look.style & WS_SYSMENU);
    EXPECT_TRUE(g_look.exStyle & WS_EX_DLGMODALFRAME) << "no icon";
    const int width = g_look.outer.right - g_look.outer.left;
    EXPECT_LE(width, GetSystemMetrics(SM_CXSCREEN) / 2 + 40) << "wrapped at half the screen's width";
    EXPECT_NEAR(g_look.outer.left + width / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((g_look.outer.top + g_look.outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  }
}

BOOL CALLBACK CollectTaskbarWindows(HWND window, LPARAM list) {
  const bool taskbar = IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr &&
                       !(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  if (taskbar) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

TEST_F(Win32Gui, OneOwnerWindowCarriesTheTaskbarButtonAndOwnsTheWindowsAndDialogs) {
  HWND owner = ShowMainAndOther();
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(GetWindow(Native(1), GW_OWNER), owner);
  EXPECT_EQ(TextOf(owner), "Fwflash-gui-" + kSuffix);
  std::vector<HWND> buttons;
  EnumThreadWindows(GetCurrentThreadId(), CollectTaskbarWindows, reinterpret_cast<LPARAM>(&buttons));
  EXPECT_EQ(buttons, std::vector<HWND>{owner}) << "the one window with a taskbar button";
  RECT place;
  GetWindowRect(owner, &place);
  EXPECT_TRUE(IsRectEmpty(&place)) << "it shows nothing";

  for (const char* dialogClass : {"FwflashMessage", "#32770"}) {
    HWND dialogOwner = nullptr;
    bool aboveMain = false;
    WhileOpen(dialogClass, [&](HWND dialog) {
      dialogOwner = GetWindow(dialog, GW_OWNER);
      // As a click on it or another program might: the disabled main window to the top.
      SetWindowPos(Native(0), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      aboveMain = Above(dialog, Native(0));
    });
    if (dialogClass[0] == '#') ShowErrorBox("Stop");
    else ShowMessageDialog("Look");
    EXPECT_EQ(dialogOwner, owner) << dialogClass;
    EXPECT_TRUE(aboveMain) << dialogClass << " stays above the window it disabled";
  }
}

TEST_F(Win32Gui, MinimisingAWindowMinimisesTheApplicationAndItsOwnerBringsItBack) {
  HWND owner = ShowMainAndOther();
  Create<2>("Hidden", FormPosition::MainFormCenter);
  SendMessageA(Native(1), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(owner)) << "the taskbar button shows the application minimised";
  EXPECT_FALSE(IsWindowVisible(Native(0)));
  EXPECT_FALSE(IsWindowVisible(Native(1)));
  EXPECT_FALSE(IsIconic(Native(1))) << "no window minimised on its own";

  SendMessageA(owner, WM_SYSCOMMAND, SC_RESTORE, 0);  // its taskbar button
  EXPECT_FALSE(IsIconic(owner));
  EXPECT_TRUE(IsWindowVisible(Native(0)));
  EXPECT_TRUE(IsWindowVisible(Native(1)));
  EXPECT_FALSE(IsWindowVisible(Native(2))) << "a hidden window stays hidden";
  EXPECT_EQ(GetActiveWindow(), Native(1)) << "the top window takes the activation";
  EXPECT_TRUE(main_->Visible() && other_->Visible());
}

TEST_F(Win32Gui, ActivatingTheOwnerActivatesTheProgramsTopWindowThatTakesInput) {
  HWND owner = ShowMainAndOther();
  SetActiveWindow(owner);  // as its taskbar button or Alt+Tab does
  EXPECT_EQ(GetActiveWindow(), Native(1));
  other_->SetEnabled(false);
  SetActiveWindow(owner);
  EXPECT_EQ(GetActiveWindow(), Native(0)) << "past a disabled window";
  other_->SetEnabled(true);
}

// Refuses to make the message dialog's window, as a system short of resources would.
LRESULT CALLBACK RefuseMessageWindows(int code, WPARAM wParam, LPARAM lParam) {
  char name[32] = "";
  if (code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) &&
      lstrcmpA(name, "FwflashMessage") == 0)
    return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Win32Gui, AMessageDialogThatCannotBeMadeShowsItsTextInTheSystemsBox) {
  Create<0>("Main")->Show();
  HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseMessageWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  std::string caption, text;
  bool mainEnabled = true;
  WhileOpen("#32770", [&](HWND box) {
    caption = TextOf(box);
    text = TextOf(GetDlgItem(box, 0xFFFF));  // the system box's text control
    mainEnabled = IsWindowEnabled(Native(0));
  });
  ShowMessageDialog("Cannot read from comm port!");  // returns once the box is closed
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(caption, "Fwflash-gui-" + kSuffix);
  EXPECT_EQ(text, "Cannot read from comm port!");
  EXPECT_FALSE(mainEnabled);
  EXPECT_TRUE(IsWindowEnabled(Native(0)));
}

int g_paints = 0;
WNDPROC g_drawBar = nullptr;

LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++g_paints;
  return CallWindowProcA(g_drawBar, window, message, wParam, lParam);
}

TEST_F(Win32Gui, TheBarIsDrawnOnlyWhenItsEdgeMovesAndEndsFull) {
  auto* form = Create<0>("Bar");
  form->Show();
  TProgressBar* bar = form->Control<TProgressBar>("ProgressBar");
  HWND native = ChildOfClass(Native(0), PROGRESS_CLASSA);
  RECT r;
  GetClientRect(native, &r);
  g_drawBar = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(native, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountPaints)));
  g_paints = 0;
  bar->SetMax(3612);  // the shipped image: many bytes to each pixel
  bar->SetPosition(0);
  for (int i = 0; i < 3612; ++i) bar->StepIt();
  EXPECT_LE(g_paints, r.right + 2);
  EXPECT_GE(g_paints, r.right / 2);
  HDC dc = GetDC(native);
  EXPECT_EQ(GetPixel(dc, r.right - 3, r.bottom / 2), GetSysColor(COLOR_HIGHLIGHT)) << "full at the end";
  ReleaseDC(native, dc);
  SetWindowLongPtrA(native, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_drawBar));
}

}  // namespace
