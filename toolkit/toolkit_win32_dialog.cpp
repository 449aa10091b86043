// The Win32 message dialog and error box. The message dialog is a window of our own: the
// application's title as caption, no icon, the text wrapped at word boundaries to at most
// half the screen's width ("&" marks an accelerator, tabs are expanded), one "OK" button
// that Enter, Esc and the close box press, centred on the primary screen, no sound. Ctrl+C
// copies its text. A dialog that cannot be made shows its text in the system's message
// box instead. The error box is the system's, with the stop icon. Both belong to the
// application's owner window; while one is open the program's other windows are disabled,
// and the message dialog's own loop keeps them painted.
#include <algorithm>
#include <vector>

#include "toolkit/toolkit_win32.h"

namespace {

using namespace win32_backend;

constexpr const char* kDialogClass = "FwflashMessage";

struct DialogState {
  bool closed = false;
};

LRESULT CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) state->closed = true;
      return 0;
    case WM_CLOSE:
      state->closed = true;
      return 0;
    case WM_DESTROY:  // destroyed from outside: nothing can close it any more
      if (state != nullptr) state->closed = true;
      break;
    case DM_GETDEFID: return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        SetFocus(GetDlgItem(hwnd, IDOK));
        return 0;
      }
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterDialogClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA dialog = {};
  dialog.lpfnWndProc = DialogProcedure;
  dialog.hInstance = GetModuleHandleA(nullptr);
  dialog.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  dialog.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  dialog.lpszClassName = kDialogClass;
  registered = RegisterClassA(&dialog) != 0;
}

BOOL CALLBACK CollectEnabled(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// While a dialog is open the program's other windows take no input.
class ModalScope {
 public:
  ModalScope() {
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&disabled_));
    for (HWND window : disabled_) EnableWindow(window, FALSE);
  }
  ~ModalScope() {
    for (HWND window : disabled_) EnableWindow(window, TRUE);
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  std::vector<HWND> disabled_;
};

void ShowSystemBox(const std::string& title, const std::string& text, UINT icon) {
  ModalScope modal;
  MessageBoxA(OwnerWindow(), text.c_str(), title.c_str(), MB_OK | icon);
}

void CopyToClipboard(HWND owner, const std::string& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (memory != nullptr) {
    CopyMemory(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

bool IsCopyKey(const MSG& msg) {
  return msg.message == WM_KEYDOWN && msg.wParam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000);
}

void RunDialog(HWND dialog, const DialogState& state, const std::string& text) {
  while (!state.closed) {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      return;
    }
    if (IsDroppedInput(msg)) continue;
    if (IsCopyKey(msg) && GetAncestor(msg.hwnd, GA_ROOT) == dialog) CopyToClipboard(dialog, text);
    else if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void ShowMessageWindow(const std::string& title, const std::string& text) {
  RegisterDialogClass();
  const int dpi = backend::DotsPerInch();
  const auto px = [dpi](int designPixels) { return backend::Scaled(designPixels, dpi); };
  HFONT font = CreateFontFor(backend::FontFor({"MS Sans Serif", -11}, dpi));

  RECT textRect = {0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  DrawTextA(screen, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);

  const int margin = px(8), gap = px(12), buttonW = px(75), buttonH = px(25);
  const int textW = textRect.right + 1, textH = textRect.bottom;
  const int clientW = std::max(textW, buttonW) + 2 * margin;
  const int clientH = margin + textH + gap + buttonH + margin;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME;
  RECT outer = {0, 0, clientW, clientH};
  AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;

  DialogState state;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND dialog = CreateWindowExA(exStyle, kDialogClass, title.c_str(), style,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                OwnerWindow(), nullptr, instance, &state);
  if (dialog == nullptr) {
    DeleteObject(font);
    ShowSystemBox(title, text, 0);
    return;
  }
  HWND label = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, margin,
                               margin, textW, textH, dialog, nullptr, instance, nullptr);
  HWND ok = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                            (clientW - buttonW) / 2, clientH - margin - buttonH, buttonW, buttonH,
                            dialog, reinterpret_cast<HMENU>(IDOK), instance, nullptr);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageA(ok, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  {
    ModalScope modal;  // over before the dialog goes, so that the activation returns
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    PaintNow(dialog);
    RunDialog(dialog, state, text);
  }
  DestroyWindow(dialog);
  DeleteObject(font);
}

}  // namespace

void backend::ShowDialog(DialogKind kind, const std::string& text) {
  const std::string title = Application != nullptr ? Application->Title() : "";
  if (kind == DialogKind::Error) ShowSystemBox(title, text, MB_ICONSTOP);
  else ShowMessageWindow(title, text);
}
