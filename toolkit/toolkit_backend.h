// What the toolkit layer asks of a platform backend, in plain types: the platform-neutral
// layer (toolkit.cpp) keeps every property and rule, a backend (toolkit_fltk*.cpp on
// Linux) only shows them. Without a display no backend object exists at all.
//
//   OpenDisplay()          connects when the environment names a display; throws Exception
//                          when it cannot; false when there is none to connect to
//   HasDisplay()           whether OpenDisplay connected
//   DotsPerInch()          the display's density (96 without a display)
//   CreateWindow(settings)     a hidden native window, its close box reported to settings.events;
//                          on Linux a window without a minimise button belongs to the main
//                          window; on Windows every window belongs to the hidden owner
//                          window that carries the program's one taskbar button
//   Window::AddWidget      a native control on it, in creation order
//   WaitForEvents()        handles events once, waiting for at least one
//   ShowDialog(kind, text) the modal message dialog or error box; returns when closed
//
// Shared by every backend, defined once in toolkit.cpp:
//   MainWindow()           the main window's native window (on Linux the one the others
//                          belong to); null while there is none
//   Scaled(value, dpi)     a length given at 96 dots per inch, at dpi
//   FontFor(font, dpi)     the face and pixel size a stored font is shown with
//   IconRgba(icon, large)  an icon's pixels as RGBA rows, transparent where it is blank
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/bitmap_file.h"
#include "toolkit/message_dialog.h"
#include "toolkit/toolkit.h"

namespace backend {

struct Rect {
  int left, top, width, height;
};

enum class FontFace { Sans, Serif, Mono };

struct Font {
  FontFace face;
  int pixels;
};

class Widget {
 public:
  virtual ~Widget() = default;
  // Texts arrive as the program's 8-bit bytes; each backend shows them literally in its
  // own way, but for "&", which marks the accelerator of a button, label or static text.
  virtual void SetText(const std::string& text) = 0;
  virtual int TextWidth() const = 0;  // of the current text on one line
  virtual void SetBounds(const Rect& bounds) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetFraction(double fraction) = 0;          // progress bars: 0 .. 1
  virtual void SetPicture(const BitmapPixels* pixels) = 0;  // images; null for none
  // Draws the widget's new state now, handling no input, even inside a long handler.
  virtual void ShowNow() = 0;
};

struct WidgetSettings {
  ControlKind kind;
  Rect bounds;
  Font font;
  bool visible;
  bool takesFocus;
  int borderWidth;
  std::function<void()> onPress;  // buttons
};

class WindowEvents {
 public:
  virtual void CloseBoxPressed() = 0;

 protected:
  ~WindowEvents() = default;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual std::unique_ptr<Widget> AddWidget(const WidgetSettings& settings) = 0;
  virtual void Show(int left, int top) = 0;  // drawn before it returns
  virtual void Hide() = 0;
  virtual void GetPosition(int& left, int& top) const = 0;  // where it is now
  virtual void SetEnabled(bool enabled) = 0;  // enabling first drops the input queued meanwhile
  virtual void SetColor(uint8_t red, uint8_t green, uint8_t blue) = 0;
  virtual void SetCaption(const std::string& text) = 0;  // 8-bit, as SetText
};

struct WindowSettings {
  Rect client;
  bool closeBox;
  bool minimizeBox, maximizeBox;  // only beside a close box
  Font font;
  const IconDescription* icon;
  WindowEvents* events;
};

bool OpenDisplay();
bool HasDisplay();
int DotsPerInch();
std::unique_ptr<Window> CreateWindow(const WindowSettings& settings);
void WaitForEvents();
void ShowDialog(DialogKind kind, const std::string& text);

Window* MainWindow();
int Scaled(int value, int dpi);
Font FontFor(const FontDescription& font, int dpi);
std::vector<uint8_t> IconRgba(const IconDescription& icon, bool large);

}  // namespace backend
