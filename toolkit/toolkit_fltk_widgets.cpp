// The FLTK backend's controls. Labels, static texts and images have no background of
// their own (the window's colour shows through), so a change redraws the window's area
// under them; a progress bar paints itself whole. Labels and static texts take "&" as an
// accelerator mark, as buttons do, so that one language file looks the same on Windows.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/fl_draw.H>

#include <cmath>

#include "toolkit/display_text.h"
#include "toolkit/toolkit_fltk.h"

namespace fltk_backend {

TextBox::TextBox(Fl_Boxtype box, int x, int y, int w, int h) : Fl_Box(box, x, y, w, h, nullptr) {}

// Fl_Box would indent left-aligned text by three more pixels than its frame.
void TextBox::draw() {
  draw_box();
  draw_label(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()), h() - Fl::box_dh(box()),
             align());
}

// FLTK measures a text without its accelerator marks only while it draws.
int TextBox::TextWidth() const {
  int width = 0, height = 0;
  const char drawing = fl_draw_shortcut;
  if (flags() & SHORTCUT_LABEL) fl_draw_shortcut = 1;
  measure_label(width, height);
  fl_draw_shortcut = drawing;
  return width;
}

namespace {

// Enter presses the button that has the keyboard focus, as Space does.
class PushButton : public Fl_Button {
 public:
  using Fl_Button::Fl_Button;
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
};

// The picture from its top-left corner, clipped to the control.
class PictureBox : public Fl_Widget {
 public:
  PictureBox(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  const BitmapPixels* pixels = nullptr;

 protected:
  void draw() override {
    if (pixels == nullptr || pixels->width == 0) return;
    fl_push_clip(x(), y(), w(), h());
    fl_draw_image(pixels->rgb.data(), x(), y(), pixels->width, pixels->height, 3);
    fl_pop_clip();
  }
};

// A smooth bar: one continuous block filled up to the fraction. It is drawn again only
// when its filled width changes, so that a step per byte of a long transfer does not
// send a redraw per byte to the display when the bar has fewer pixels than steps.
class ProgressBar : public Fl_Widget {
 public:
  ProgressBar(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
    box(FL_THIN_DOWN_BOX);
    color(fl_rgb_color(230, 230, 230));
    selection_color(fl_rgb_color(6, 176, 37));
  }

  void SetFraction(double fraction) {
    const bool changed = FilledWidth(fraction) != FilledWidth(fraction_);
    fraction_ = fraction;
    if (changed) redraw();
  }

 protected:
  void draw() override {
    draw_box();
    const int filled = FilledWidth(fraction_);
    if (filled <= 0) return;
    fl_color(selection_color());
    fl_rectf(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), filled, h() - Fl::box_dh(box()));
  }

 private:
  int FilledWidth(double fraction) const {
    return static_cast<int>(std::lround(fraction * (w() - Fl::box_dw(box()))));
  }

  double fraction_ = 0.0;
};

class FltkWidget final : public backend::Widget {
 public:
  FltkWidget(Fl_Window& parent, const backend::WidgetSettings& settings) : kind_(settings.kind) {
    const backend::Rect& b = settings.bounds;
    switch (settings.kind) {
      case ControlKind::Label:
        widget_ = text_ = new TextBox(FL_NO_BOX, b.left, b.top, b.width, b.height);
        widget_->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP | FL_ALIGN_LEFT);
        text_->TakeAcceleratorMarks();
        break;
      case ControlKind::StaticText:
        widget_ = text_ = new TextBox(FL_DOWN_FRAME, b.left, b.top, b.width, b.height);
        widget_->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP | FL_ALIGN_LEFT | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
        text_->TakeAcceleratorMarks();
        break;
      case ControlKind::Button:
        widget_ = new PushButton(b.left, b.top, b.width, b.height);
        widget_->callback([](Fl_Widget*, void* press) { (*static_cast<std::function<void()>*>(press))(); },
                          &onPress_);
        onPress_ = settings.onPress;
        break;
      case ControlKind::Image:
        widget_ = picture_ = new PictureBox(b.left, b.top, b.width, b.height);
        break;
      case ControlKind::ProgressBar:
        widget_ = bar_ = new ProgressBar(b.left, b.top, b.width, b.height);
        break;
    }
    widget_->labelfont(FaceOf(settings.font.face));
    widget_->labelsize(settings.font.pixels);
    widget_->visible_focus(settings.takesFocus);
    if (!settings.visible) widget_->hide();
    parent.add(widget_);
  }

  ~FltkWidget() override {
    if (widget_->parent() != nullptr) widget_->parent()->remove(widget_);
    delete widget_;
  }

  void SetText(const std::string& text) override {
    widget_->copy_label(LiteralText(text).c_str());
    Redraw();
  }

  int TextWidth() const override {
    if (text_ != nullptr) return text_->TextWidth();
    int width = 0, height = 0;
    widget_->measure_label(width, height);
    return width;
  }

  void SetBounds(const backend::Rect& bounds) override {
    Redraw();  // the area it leaves
    widget_->resize(bounds.left, bounds.top, bounds.width, bounds.height);
    Redraw();
  }

  void SetVisible(bool visible) override {
    visible ? widget_->show() : widget_->hide();
    Redraw();
  }

  void SetFraction(double fraction) override {
    if (bar_ != nullptr) bar_->SetFraction(fraction);
  }

  void SetPicture(const BitmapPixels* pixels) override {
    if (picture_ == nullptr) return;
    picture_->pixels = pixels;
    Redraw();
  }

  // A bar has asked for its redraw already when its fill changed.
  void ShowNow() override {
    if (bar_ == nullptr) Redraw();
    Fl::flush();  // draws without handling any input
  }

 private:
  void Redraw() {
    if (kind_ == ControlKind::ProgressBar || kind_ == ControlKind::Button) {
      widget_->redraw();
    } else if (Fl_Window* window = widget_->window()) {
      window->damage(FL_DAMAGE_ALL, widget_->x(), widget_->y(), widget_->w(), widget_->h());
    }
  }

  ControlKind kind_;
  Fl_Widget* widget_ = nullptr;
  TextBox* text_ = nullptr;
  PictureBox* picture_ = nullptr;
  ProgressBar* bar_ = nullptr;
  std::function<void()> onPress_;
};

}  // namespace

std::unique_ptr<backend::Widget> MakeWidget(Fl_Window& parent, const backend::WidgetSettings& settings) {
  return std::make_unique<FltkWidget>(parent, settings);
}

}  // namespace fltk_backend
