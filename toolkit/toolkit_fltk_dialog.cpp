// The FLTK message dialog and error box: a small modal window with the application's
// title, the text wrapped at half the screen's width and one "OK" button that Enter, Esc
// and the close box all press. Its own event loop runs until it is closed, so it works
// from deep inside a handler; the other windows take no input meanwhile.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>
#include <utility>

#include "toolkit/display_text.h"
#include "toolkit/toolkit_backend.h"
#include "toolkit/toolkit_fltk.h"

namespace {

// The error box's stop sign: a red disc with a white cross.
class StopIcon : public Fl_Widget {
 public:
  StopIcon(int x, int y, int size) : Fl_Widget(x, y, size, size) {}

 protected:
  void draw() override {
    fl_color(fl_rgb_color(200, 30, 30));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID, std::max(2, w() / 10));
    const int inset = w() * 3 / 10;
    fl_line(x() + inset, y() + inset, x() + w() - inset, y() + h() - inset);
    fl_line(x() + w() - inset, y() + inset, x() + inset, y() + h() - inset);
    fl_line_style(0);
  }
};

// Ctrl+C copies the message to the clipboard, so that a user can paste it into a report.
class DialogWindow : public Fl_Double_Window {
 public:
  DialogWindow(int x, int y, int w, int h, std::string text)
      : Fl_Double_Window(x, y, w, h), text_(std::move(text)) {}

  int handle(int event) override {
    if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && (Fl::event_state() & FL_CTRL) &&
        Fl::event_key() == 'c') {
      Fl::copy(text_.c_str(), static_cast<int>(text_.size()), 1);
      return 1;
    }
    return Fl_Double_Window::handle(event);
  }

  // A close box and nothing else; it belongs to the main window.
  void show() override {
    Fl_Double_Window::show();
    fltk_backend::SetWindowManagerHints(*this, {true, false, false});
  }

 private:
  std::string text_;
};

}  // namespace

void backend::ShowDialog(DialogKind kind, const std::string& text) {
  const int dpi = DotsPerInch();
  const auto px = [dpi](int designPixels) { return Scaled(designPixels, dpi); };
  // The message dialog takes "&" as an accelerator mark; the error box shows it.
  const std::string shown = kind == DialogKind::Message ? AcceleratorFreeText(text) : LiteralText(text);
  const int fontSize = px(12);

  int screenX, screenY, screenW, screenH;
  Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
  fl_font(FL_HELVETICA, fontSize);
  int textW = screenW / 2, textH = 0;
  fl_measure(shown.c_str(), textW, textH, 1);
  textW += 1;  // drawn at the width it was measured at, it wraps the same way
  textH = std::max(textH, fl_height());

  const int margin = px(12), gap = px(12), buttonW = px(75), buttonH = px(25);
  const int iconSize = kind == DialogKind::Error ? px(32) : 0;
  const int iconSpace = iconSize > 0 ? iconSize + margin : 0;
  const int contentH = std::max(textH, iconSize);
  const int width = std::max(iconSpace + textW, buttonW) + 2 * margin;
  const int height = margin + contentH + gap + buttonH + margin;

  DialogWindow window(screenX + (screenW - width) / 2, screenY + (screenH - height) / 2, width,
                      height, DisplayText(text));
  const std::string title = Application != nullptr ? DisplayText(Application->Title()) : "";
  window.copy_label(title.c_str());
  if (iconSize > 0) new StopIcon(margin, margin, iconSize);
  auto* message = new fltk_backend::TextBox(FL_NO_BOX, margin + iconSpace, margin + (contentH - textH) / 2, textW, textH);
  message->labelfont(FL_HELVETICA);
  message->labelsize(fontSize);
  message->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP | FL_ALIGN_LEFT | FL_ALIGN_WRAP);
  message->copy_label(shown.c_str());
  auto* ok = new Fl_Button((width - buttonW) / 2, height - margin - buttonH, buttonW, buttonH, "OK");
  ok->labelsize(fontSize);
  ok->shortcut(FL_Enter);
  ok->callback([](Fl_Widget* button, void*) { button->window()->hide(); });
  window.end();
  window.set_modal();
  // Esc and the close box run the window's callback: both close it.
  window.callback([](Fl_Widget* w, void*) { w->hide(); });

  // As a closed message box does, give the keyboard focus back to the control that had
  // it, so that Enter presses the same button again.
  Fl_Widget_Tracker focused(Fl::focus());
  fltk_backend::ShowDrawn(window);
  ok->take_focus();
  while (window.shown()) Fl::wait();
  if (focused.exists() && focused.widget() != nullptr) focused.widget()->take_focus();
}
