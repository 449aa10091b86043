// The FLTK backend: the display, the event loop and windows. A window that is disabled
// throws its input away, as does a window that is being enabled again, so that a click
// made while a long handler ran never runs after it.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/x.H>

#include <cmath>
#include <cstdlib>

#include "toolkit/display_text.h"
#include "toolkit/toolkit_backend.h"
#include "toolkit/toolkit_fltk.h"

namespace {

constexpr int kDefaultDpi = 96;

int g_dpi = kDefaultDpi;
int g_droppers = 0;

bool IsInput(int event) {
  switch (event) {
    case FL_PUSH: case FL_RELEASE: case FL_DRAG: case FL_MOUSEWHEEL: case FL_KEYDOWN: case FL_KEYUP:
    case FL_SHORTCUT: case FL_CLOSE: case FL_DND_ENTER: case FL_DND_DRAG: case FL_DND_RELEASE:
      return true;
    default:
      return false;
  }
}

class FormWindow : public Fl_Double_Window {
 public:
  FormWindow(const backend::WindowSettings& settings)
      : Fl_Double_Window(settings.client.left, settings.client.top, settings.client.width, settings.client.height),
        events_(settings.events), titleBar_{settings.closeBox, settings.minimizeBox, settings.maximizeBox} {
    end();
    // Escape and the like also run a window's callback; only the close box may close it.
    callback([](Fl_Widget*, void* self) {
      if (Fl::event() == FL_CLOSE) static_cast<FormWindow*>(self)->events_->CloseBoxPressed();
    }, this);
  }
  bool enabled = true;

  void show() override {
    Fl_Double_Window::show();
    fltk_backend::SetWindowManagerHints(*this, titleBar_);
  }

 private:
  backend::WindowEvents* events_;
  TForm::TitleBarButtons titleBar_;
};

int DispatchUnlessDropped(int event, Fl_Window* window) {
  if (IsInput(event)) {
    if (g_droppers > 0) return 0;
    const auto* form = dynamic_cast<FormWindow*>(window);
    if (form != nullptr && !form->enabled) return 0;
  }
  return Fl::handle_(event, window);
}

// The density the desktop asks fonts to be drawn at; 96 when it says nothing sensible.
int ReadDpi() {
  const char* value = XGetDefault(fl_display, "Xft", "dpi");
  const double dpi = value != nullptr ? std::atof(value) : 0.0;
  return dpi >= 48 && dpi <= 480 ? static_cast<int>(std::lround(dpi)) : kDefaultDpi;
}

void SetIcons(Fl_Window& window, const IconDescription& icon) {
  const std::vector<uint8_t> large = backend::IconRgba(icon, true), small = backend::IconRgba(icon, false);
  Fl_RGB_Image largeImage(large.data(), 32, 32, 4), smallImage(small.data(), 16, 16, 4);
  const Fl_RGB_Image* images[] = {&largeImage, &smallImage};
  window.icons(images, 2);  // copies the images
}

// The first control of a window that takes the focus gets it.
bool FocusFirstControl(Fl_Window& window) {
  for (int i = 0; i < window.children(); ++i)
    if (window.child(i)->visible_focus() && window.child(i)->take_focus()) return true;
  return false;
}

void FocusTopWindow() {
  for (Fl_Window* window = Fl::first_window(); window != nullptr; window = Fl::next_window(window))
    if (window->visible() && FocusFirstControl(*window)) return;
}

class FltkWindow final : public backend::Window {
 public:
  explicit FltkWindow(const backend::WindowSettings& settings) : window_(settings) {
    if (settings.icon != nullptr) SetIcons(window_, *settings.icon);
  }

  std::unique_ptr<backend::Widget> AddWidget(const backend::WidgetSettings& settings) override {
    return fltk_backend::MakeWidget(window_, settings);
  }

  // Shown and activated: the first control that takes the focus gets it.
  void Show(int left, int top) override {
    if (!window_.shown()) window_.position(left, top);
    fltk_backend::ShowDrawn(window_);
    FocusFirstControl(window_);
  }

  // As on a desktop, the keyboard focus goes back to the window still shown, so that its
  // button takes Enter again.
  void Hide() override {
    const Fl_Widget* focus = Fl::focus();
    const bool hadFocus = focus == nullptr || focus == &window_ || focus->inside(&window_);
    window_.hide();
    if (hadFocus) FocusTopWindow();
    Fl::flush();
  }

  void GetPosition(int& left, int& top) const override {
    left = window_.x();
    top = window_.y();
  }

  void SetEnabled(bool enabled) override {
    if (enabled && !window_.enabled) fltk_backend::DropQueuedInput();
    window_.enabled = enabled;
  }

  void SetColor(uint8_t red, uint8_t green, uint8_t blue) override {
    window_.color(fl_rgb_color(red, green, blue));
    window_.redraw();
  }

  void SetCaption(const std::string& text) override { window_.copy_label(DisplayText(text).c_str()); }

  Fl_Window& native() { return window_; }

 private:
  FormWindow window_;
};

}  // namespace

namespace fltk_backend {

InputDropper::InputDropper() { ++g_droppers; }
InputDropper::~InputDropper() { --g_droppers; }

void ShowDrawn(Fl_Window& window) {
  window.show();
  InputDropper dropper;  // waiting for the first expose must not run other handlers
  window.wait_for_expose();
  Fl::flush();
}

void DropQueuedInput() {
  XSync(fl_display, False);
  InputDropper dropper;
  Fl::check();
}

Fl_Window* MainNativeWindow() {
  auto* main = dynamic_cast<FltkWindow*>(backend::MainWindow());
  return main != nullptr ? &main->native() : nullptr;
}

Fl_Font FaceOf(backend::FontFace face) {
  switch (face) {
    case backend::FontFace::Serif: return FL_TIMES;
    case backend::FontFace::Mono: return FL_COURIER;
    case backend::FontFace::Sans: break;
  }
  return FL_HELVETICA;
}

}  // namespace fltk_backend

bool backend::OpenDisplay() {
  if (fl_display != nullptr) return true;
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  Display* display = XOpenDisplay(name);
  if (display == nullptr) throw Exception(std::string("Cannot open display ") + name);
  fl_open_display(display);
  Fl::event_dispatch(DispatchUnlessDropped);
  Fl::background(240, 240, 240);
  g_dpi = ReadDpi();
  return true;
}

bool backend::HasDisplay() { return fl_display != nullptr; }

int backend::DotsPerInch() { return g_dpi; }

std::unique_ptr<backend::Window> backend::CreateWindow(const WindowSettings& settings) {
  return std::make_unique<FltkWindow>(settings);
}

void backend::WaitForEvents() { Fl::wait(); }
