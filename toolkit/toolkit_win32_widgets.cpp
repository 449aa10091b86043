// The Win32 backend's controls: labels and static texts are static controls on the
// window's colour, the static text box with a 2-pixel sunken edge inside its bounds; push
// buttons take "&" as their accelerator mark; the progress bar is the common control's
// smooth bar, counting in its own pixels; the image is a control of our own that draws the
// picture from its top-left corner, clipped to its bounds.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "toolkit/toolkit_win32.h"

#include <commctrl.h>  // after <windows.h>, which toolkit_win32.h brings

namespace {

using namespace win32_backend;

constexpr const char* kImageClass = "FwflashImage";

void DrawPicture(HWND image, HDC dc, const BitmapPixels* pixels) {
  RECT client;
  GetClientRect(image, &client);
  // The window's colour under the picture, as for any static control.
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(image), WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(image)));
  FillRect(dc, &client, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  if (pixels == nullptr || pixels->width == 0) return;
  const int width = std::min<int>(pixels->width, client.right);
  const int height = std::min<int>(pixels->height, client.bottom);
  if (width <= 0 || height <= 0) return;
  const int stride = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* from = &pixels->rgb[(static_cast<size_t>(y) * pixels->width + x) * 3];
      uint8_t* to = &rows[static_cast<size_t>(y) * stride + x * 3];
      to[0] = from[2], to[1] = from[1], to[2] = from[0];
    }
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 24;
  SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, rows.data(), &format,
                    DIB_RGB_COLORS);
}

LRESULT CALLBACK ImageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    DrawPicture(hwnd, dc, reinterpret_cast<const BitmapPixels*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
    EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // painted whole in WM_PAINT
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Win32Widget final : public backend::Widget {
 public:
  Win32Widget(HWND parent, const backend::WidgetSettings& settings, int id)
      : kind_(settings.kind), onPress_(settings.onPress) {
    const char* windowClass = "STATIC";
    DWORD style = WS_CHILD | (settings.visible ? WS_VISIBLE : 0), exStyle = 0;
    switch (settings.kind) {
      case ControlKind::Label: style |= SS_LEFTNOWORDWRAP; break;
      case ControlKind::StaticText:
        style |= SS_LEFT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::Button:
        windowClass = "BUTTON";
        style |= BS_PUSHBUTTON | (settings.takesFocus ? WS_TABSTOP : 0);
        break;
      case ControlKind::Image: windowClass = kImageClass; break;
      case ControlKind::ProgressBar:
        windowClass = PROGRESS_CLASSA;
        style |= PBS_SMOOTH;
        break;
    }
    const backend::Rect& b = settings.bounds;
    handle_ = CreateWindowExA(exStyle, windowClass, "", style, b.left, b.top, b.width, b.height,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
    if (kind_ == ControlKind::Button)
      SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&onPress_));
    if (kind_ == ControlKind::ProgressBar) CountInPixels();
  }

  ~Win32Widget() override { DestroyWindow(handle_); }

  void SetText(const std::string& text) override {
    SetWindowTextA(handle_, text.c_str());
    InvalidateRect(handle_, nullptr, TRUE);
  }

  int TextWidth() const override {
    HDC dc = GetDC(handle_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(handle_, WM_GETFONT, 0, 0)));
    char text[1024] = "";
    GetWindowTextA(handle_, text, sizeof text);
    RECT r = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    return r.right;
  }

  void SetBounds(const backend::Rect& b) override {
    MoveWindow(handle_, b.left, b.top, b.width, b.height, TRUE);
    if (kind_ == ControlKind::ProgressBar) CountInPixels();
  }

  void SetVisible(bool visible) override { ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE); }

  // Only a step that moves the bar's edge is drawn: a drawing costs more under Wine than
  // a byte's whole exchange with the device, and most steps move it by less than a pixel.
  void SetFraction(double fraction) override {
    if (kind_ != ControlKind::ProgressBar) return;
    const long position = std::lround(fraction * barPixels_);
    if (position == SendMessageA(handle_, PBM_GETPOS, 0, 0)) return;
    SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    barMoved_ = true;
  }

  void SetPicture(const BitmapPixels* pixels) override {
    if (kind_ != ControlKind::Image) return;
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pixels));
    InvalidateRect(handle_, nullptr, TRUE);
  }

  // A bar has marked what its new position changes, and has nothing to show when it did
  // not move.
  void ShowNow() override {
    if (kind_ == ControlKind::ProgressBar) {
      if (!std::exchange(barMoved_, false)) return;
    } else {
      InvalidateRect(handle_, nullptr, TRUE);
    }
    PaintNow(handle_);
  }

 private:
  // The bar's range is its width: one position per pixel it can fill.
  void CountInPixels() {
    const LRESULT shown = SendMessageA(handle_, PBM_GETPOS, 0, 0);
    const double fraction = barPixels_ > 0 ? static_cast<double>(shown) / barPixels_ : 0.0;
    RECT client;
    GetClientRect(handle_, &client);
    barPixels_ = std::max(1L, client.right);
    SendMessageA(handle_, PBM_SETRANGE32, 0, barPixels_);
    SetFraction(fraction);
  }

  ControlKind kind_;
  std::function<void()> onPress_;
  HWND handle_ = nullptr;
  long barPixels_ = 0;
  bool barMoved_ = false;
};

}  // namespace

namespace win32_backend {

void RegisterWidgetClasses() {
  WNDCLASSA image = {};
  image.lpfnWndProc = ImageProcedure;
  image.hInstance = GetModuleHandleA(nullptr);
  image.lpszClassName = kImageClass;
  if (RegisterClassA(&image) == 0) throw Exception("Cannot register the image class");
}

std::unique_ptr<backend::Widget> MakeWidget(HWND parent, const backend::WidgetSettings& settings, int id) {
  return std::make_unique<Win32Widget>(parent, settings, id);
}

}  // namespace win32_backend
