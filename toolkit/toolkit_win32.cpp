// The Win32 backend: the event loop and the program's windows, on the plain Windows API.
// A window has a fixed single border and the title-bar buttons its settings ask for; its
// one focusable button is its default button, so Enter presses it as in a dialog. Texts
// are the program's 8-bit bytes, given to the ANSI functions as they are, which shows them
// in the system's ANSI code page.
//
// The program has one taskbar button, carried by the application's owner window: a
// window with no size, outside every screen, that owns all the program's windows and
// dialogs. Minimising any window minimises the application: the owner goes to the
// taskbar and takes its windows with it. Activating the owner (its taskbar button, Alt+Tab)
// activates the program's top window that takes input. A disabled window never rises
// above the window last active, such as the dialog that disabled it.
#include <algorithm>
#include <vector>

#include "toolkit/toolkit_win32.h"

#include <commctrl.h>  // after <windows.h>, which toolkit_win32.h brings

namespace win32_backend {

HFONT CreateFontFor(const backend::Font& font) {
  const char* face = "MS Sans Serif";
  if (font.face == backend::FontFace::Serif) face = "Times New Roman";
  if (font.face == backend::FontFace::Mono) face = "Courier New";
  return CreateFontA(-font.pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

// GdiFlush hands what was drawn to the screen even while no message is handled.
void PaintNow(HWND window) {
  UpdateWindow(window);
  GdiFlush();
}

namespace {
DWORD g_inputAcceptedFrom = 0;  // the time of the last DropQueuedInput
}  // namespace

// Input made before now may reach the queue later still (the system delivers it when it
// is asked for messages), so it is also recognised by its time in IsDroppedInput.
void DropQueuedInput() {
  g_inputAcceptedFrom = GetTickCount();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

bool IsDroppedInput(const MSG& msg) {
  const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                     (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
  // The clock counts whole milliseconds: input of the same tick is not taken either.
  return input && static_cast<LONG>(msg.time - g_inputAcceptedFrom) <= 0;
}

bool RunDialogKeys(MSG& msg) {
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  char name[32] = "";
  if (root == nullptr || GetClassNameA(root, name, sizeof name) == 0 ||
      lstrcmpA(name, kFormClass) != 0)
    return false;
  return IsDialogMessageA(root, &msg) != FALSE;
}

}  // namespace win32_backend

namespace {

using namespace win32_backend;

constexpr const char* kOwnerClass = "FwflashApplication";
constexpr int kOutsideEveryScreen = -32000;

bool g_open = false;
HWND g_owner = nullptr;  // lives as long as the process: windows are destroyed at exit

bool Usable(HWND window) {
  return window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window);
}

// The owner takes no input itself: it hands the activation to the program's top window
// that does, as the system would to the next window of a program without an owner.
void ActivateTopWindow() {
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetWindow(window, GW_OWNER) == g_owner && Usable(window)) {
      SetActiveWindow(window);
      return;
    }
  }
}

void MinimizeApplication() {
  ShowOwnedPopups(g_owner, FALSE);
  ShowWindow(g_owner, SW_MINIMIZE);
}

void RestoreApplication() {
  ShowWindow(g_owner, SW_RESTORE);
  ShowOwnedPopups(g_owner, TRUE);
  ActivateTopWindow();
}

// The window's icon in one size, from the icon's pixels: colour with alpha, and a mask
// that lets the screen through where the icon is blank.
HICON MakeIcon(const IconDescription& icon, bool large) {
  const int size = large ? 32 : 16;
  const std::vector<uint8_t> rgba = backend::IconRgba(icon, large);
  BITMAPV5HEADER header = {};
  header.bV5Size = sizeof header;
  header.bV5Width = size;
  header.bV5Height = -size;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  std::vector<uint8_t> mask(size * size / 8, 0);  // rows of 2 or 4 bytes: already word-aligned
  auto* pixels = static_cast<uint32_t*>(bits);
  for (int i = 0; i < size * size; ++i) {
    const uint8_t* p = &rgba[i * 4];
    pixels[i] = static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
    if (p[3] == 0) mask[i / 8] |= 0x80 >> (i % 8);
  }
  HBITMAP maskBitmap = CreateBitmap(size, size, 1, 1, mask.data());
  ICONINFO info = {TRUE, 0, 0, maskBitmap, colour};
  HICON result = CreateIconIndirect(&info);
  DeleteObject(maskBitmap);
  DeleteObject(colour);
  return result;
}

class Win32Window final : public backend::Window {
 public:
  explicit Win32Window(const backend::WindowSettings& settings)
      : events_(settings.events), font_(CreateFontFor(settings.font)) {
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    if (settings.closeBox) style |= WS_SYSMENU;
    if (settings.minimizeBox) style |= WS_MINIMIZEBOX;
    if (settings.maximizeBox) style |= WS_MAXIMIZEBOX;
    RECT outer = {0, 0, settings.client.width, settings.client.height};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    handle_ = CreateWindowExA(0, kFormClass, "", style, settings.client.left, settings.client.top,
                              outer.right - outer.left, outer.bottom - outer.top, g_owner,
                              nullptr, GetModuleHandleA(nullptr), this);
    if (settings.icon != nullptr) {
      largeIcon_ = MakeIcon(*settings.icon, true);
      smallIcon_ = MakeIcon(*settings.icon, false);
      SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
      SendMessageA(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    }
  }

  ~Win32Window() override {
    DestroyWindow(handle_);
    DeleteObject(font_);
    if (brush_ != nullptr) DeleteObject(brush_);
    if (largeIcon_ != nullptr) DestroyIcon(largeIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  }

  std::unique_ptr<backend::Widget> AddWidget(const backend::WidgetSettings& settings) override {
    const int id = nextId_++;
    if (settings.kind == ControlKind::Button && settings.takesFocus && defaultId_ == 0) defaultId_ = id;
    std::unique_ptr<backend::Widget> widget = MakeWidget(handle_, settings, id);
    SendMessageA(GetDlgItem(handle_, id), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return widget;
  }

  void Show(int left, int top) override {
    SetWindowPos(handle_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(handle_, SW_SHOW);
    SetForegroundWindow(handle_);
    PaintNow(handle_);
  }

  void Hide() override { ShowWindow(handle_, SW_HIDE); }

  void GetPosition(int& left, int& top) const override {
    RECT r;
    GetWindowRect(handle_, &r);
    left = r.left;
    top = r.top;
  }

  // Keys and clicks that queued up while the window was disabled are not for it.
  void SetEnabled(bool enabled) override {
    if (enabled && !IsWindowEnabled(handle_)) DropQueuedInput();
    EnableWindow(handle_, enabled);
    if (enabled && GetActiveWindow() == handle_) FocusDefaultButton();  // disabling took it
  }

  void SetColor(uint8_t red, uint8_t green, uint8_t blue) override {
    if (brush_ != nullptr) DeleteObject(brush_);
    color_ = RGB(red, green, blue);
    brush_ = CreateSolidBrush(color_);
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  void SetCaption(const std::string& text) override { SetWindowTextA(handle_, text.c_str()); }

  HWND handle() const { return handle_; }

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      static_cast<Win32Window*>(create->lpCreateParams)->handle_ = hwnd;
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self != nullptr ? self->Handle(hwnd, message, wParam, lParam)
                           : DefWindowProcA(hwnd, message, wParam, lParam);
  }

 private:
  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_CLOSE:  // the close box, Alt+F4: the layer decides
        events_->CloseBoxPressed();
        return 0;
      case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
          MinimizeApplication();
          return 0;
        }
        break;
      case WM_WINDOWPOSCHANGING: {
        auto* place = reinterpret_cast<WINDOWPOS*>(lParam);
        HWND last = GetLastActivePopup(g_owner);
        if (!IsWindowEnabled(hwnd) && !(place->flags & SWP_NOZORDER) && last != hwnd &&
            last != g_owner && Usable(last))
          place->hwndInsertAfter = last;
        break;
      }
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
          // Buttons keep their press in their user data (see MakeWidget).
          auto* press = reinterpret_cast<std::function<void()>*>(
              GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), GWLP_USERDATA));
          if (press != nullptr && *press) (*press)();
        }
        return 0;
      case DM_GETDEFID:
        return defaultId_ != 0 ? MAKELRESULT(defaultId_, DC_HASDEFID) : 0;
      case WM_ACTIVATE:
      case WM_SETFOCUS:
        if ((message == WM_SETFOCUS || LOWORD(wParam) != WA_INACTIVE) && FocusDefaultButton())
          return 0;
        break;
      case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, Background());
        return 1;
      }
      case WM_CTLCOLORSTATIC: {  // labels, static texts and images show the window's colour
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, brush_ != nullptr ? color_ : GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(Background());
      }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  // The keyboard focus goes to the window's one focusable button, when it has one.
  bool FocusDefaultButton() {
    HWND button = defaultId_ != 0 ? GetDlgItem(handle_, defaultId_) : nullptr;
    if (button == nullptr || !IsWindowVisible(button)) return false;
    SetFocus(button);
    return true;
  }

  HBRUSH Background() const {
    return brush_ != nullptr ? brush_ : GetSysColorBrush(COLOR_BTNFACE);
  }

  backend::WindowEvents* events_;
  HFONT font_;
  HWND handle_ = nullptr;
  HBRUSH brush_ = nullptr;
  COLORREF color_ = 0;
  HICON largeIcon_ = nullptr, smallIcon_ = nullptr;
  int nextId_ = 100, defaultId_ = 0;
};

HWND MainWindowHandle() {
  const auto* main = static_cast<const Win32Window*>(backend::MainWindow());
  return main != nullptr ? main->handle() : nullptr;
}

LRESULT CALLBACK OwnerProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) ActivateTopWindow();
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        MinimizeApplication();
        return 0;
      }
      if ((wParam & 0xFFF0) == SC_RESTORE && IsIconic(hwnd)) {
        RestoreApplication();
        return 0;
      }
      break;
    case WM_CLOSE:  // from the taskbar: as the main window's close box
      if (HWND main = MainWindowHandle()) PostMessageA(main, WM_CLOSE, 0, 0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Shown, so that it has its taskbar button, but with no size and outside every screen.
void MakeOwnerWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA owner = {};
  owner.cbSize = sizeof owner;
  owner.lpfnWndProc = OwnerProcedure;
  owner.hInstance = instance;
  // The program's icon resource, when the executable has one.
  owner.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
  owner.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0));
  owner.lpszClassName = kOwnerClass;
  if (RegisterClassExA(&owner) == 0) throw Exception("Cannot register the application window class");
  g_owner = CreateWindowExA(0, kOwnerClass, "", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                            kOutsideEveryScreen, kOutsideEveryScreen, 0, 0, nullptr, nullptr,
                            instance, nullptr);
  if (g_owner == nullptr) throw Exception("Cannot create the application window");
  ShowWindow(g_owner, SW_SHOWNA);
}

void Open() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  if (!InitCommonControlsEx(&controls)) throw Exception("Cannot load the common controls");
  WNDCLASSA form = {};
  form.lpfnWndProc = Win32Window::Procedure;
  form.hInstance = GetModuleHandleA(nullptr);
  form.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  form.lpszClassName = kFormClass;
  if (RegisterClassA(&form) == 0) throw Exception("Cannot register the window class");
  RegisterWidgetClasses();
  MakeOwnerWindow();
  DropQueuedInput();  // input from before the program's windows is not for them
}

}  // namespace

namespace win32_backend {

HWND OwnerWindow() { return g_owner; }

}  // namespace win32_backend

// The error box needs nothing that can fail, so the dialogs are the toolkit's before
// anything here can throw: a failure to open is shown, not lost.
bool backend::OpenDisplay() {
  if (!g_open) {
    ReplaceDialogs(ShowDialog);
    Open();
    g_open = true;
  }
  SetWindowTextA(g_owner, Application != nullptr ? Application->Title().c_str() : "");
  return true;
}

bool backend::HasDisplay() { return g_open; }

int backend::DotsPerInch() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

std::unique_ptr<backend::Window> backend::CreateWindow(const WindowSettings& settings) {
  return std::make_unique<Win32Window>(settings);
}

void backend::WaitForEvents() {
  MSG msg;
  if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return;
  if (IsDroppedInput(msg) || RunDialogKeys(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}
