// What the Windows tests see of windows as the system shows them.
//
//   TextOf(window)           its text: a window's caption, a control's text
//   Above(a, b)              whether window a lies above window b on the screen
//   WhileOpen(class, look)   once a visible window of that class shows (a dialog that the
//                            test itself opens and waits on), runs look on it, then presses
//                            its OK button; a timer does it, inside the dialog's own loop
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

inline std::string TextOf(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline bool Above(HWND a, HWND b) {
  for (HWND w = GetWindow(a, GW_HWNDNEXT); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
    if (w == b) return true;
  return false;
}

namespace window_look {

inline const char* dialogClass = nullptr;
inline std::function<void(HWND)> look;

inline void CALLBACK LookThenPressOk(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindWindowA(dialogClass, nullptr);
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, timer);
  look(dialog);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace window_look

inline void WhileOpen(const char* windowClass, std::function<void(HWND)> look) {
  window_look::dialogClass = windowClass;
  window_look::look = std::move(look);
  SetTimer(nullptr, 0, 100, window_look::LookThenPressOk);
}
