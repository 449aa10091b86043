// Pieces the Win32 backend's files share; nothing outside toolkit_win32*.cpp includes this.
//
//   CreateFontFor(font)        the GDI font for a backend font; the caller deletes it
//   PaintNow(window)           draws a window's pending changes and hands them to the
//                              screen at once, even inside a handler that holds the thread
//   DropQueuedInput()          throws away the keys and clicks made up to now
//   IsDroppedInput(msg)        a key or click made before the last DropQueuedInput
//   RunDialogKeys(msg)         Enter, Esc, Tab and Alt+letter for the program's windows and
//                              dialog, as the system's dialog manager handles them
//   MakeWidget(parent, s, id)  the native control for a control description; a button
//                              keeps its press in its user data for the window to run
//   RegisterWidgetClasses()    the window class of the image control
//   kFormClass                 the window class of the program's windows
//   OwnerWindow()              the application's window, which shows nothing but the
//                              program's one taskbar button (titled with the application's
//                              title) and owns every window and dialog; null before the
//                              display is open
#pragma once

#include <windows.h>
#undef CreateWindow  // the layer's backend::CreateWindow, not the system's macro

#include <memory>

#include "toolkit/toolkit_backend.h"

namespace win32_backend {

constexpr const char* kFormClass = "FwflashForm";

HFONT CreateFontFor(const backend::Font& font);
void PaintNow(HWND window);
void DropQueuedInput();
bool IsDroppedInput(const MSG& msg);
bool RunDialogKeys(MSG& msg);
std::unique_ptr<backend::Widget> MakeWidget(HWND parent, const backend::WidgetSettings& settings, int id);
void RegisterWidgetClasses();
HWND OwnerWindow();

}  // namespace win32_backend
