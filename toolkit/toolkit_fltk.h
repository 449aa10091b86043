// Pieces the FLTK backend's files share; nothing outside toolkit_fltk*.cpp includes this.
//
//   InputDropper           while one exists, every input event (clicks, keys, close box) is
//                          thrown away instead of handled
//   ShowDrawn(window)      shows a window and draws it before returning, even inside a
//                          handler that holds the event loop
//   DropQueuedInput()      throws away the input that has queued up so far
//   FaceOf(face)           FLTK's font for a face
//   TextBox                a box that draws its text inset by its frame only; a label's
//                          or static text's box takes "&" as an accelerator mark
//   MakeWidget(parent, s)  the native control for a control description
//   MainNativeWindow()     the main window's FLTK window, null while there is none
//   SetWindowManagerHints(window, bar)
//                          tells the window manager which title-bar buttons a shown window
//                          offers, and that a window without a minimise button belongs to
//                          the main window
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

#include <memory>

#include "toolkit/toolkit_backend.h"

namespace fltk_backend {

class InputDropper {
 public:
  InputDropper();
  ~InputDropper();
  InputDropper(const InputDropper&) = delete;
  InputDropper& operator=(const InputDropper&) = delete;
};

void ShowDrawn(Fl_Window& window);
void DropQueuedInput();
Fl_Font FaceOf(backend::FontFace face);

class TextBox : public Fl_Box {
 public:
  TextBox(Fl_Boxtype box, int x, int y, int w, int h);
  // As a button does and as the system's labels do elsewhere: "&x" shows x underlined,
  // "&&" shows one "&".
  void TakeAcceleratorMarks() { set_flag(SHORTCUT_LABEL); }
  int TextWidth() const;  // of its text on one line, as drawn

 protected:
  void draw() override;
};

std::unique_ptr<backend::Widget> MakeWidget(Fl_Window& parent, const backend::WidgetSettings& settings);

Fl_Window* MainNativeWindow();
void SetWindowManagerHints(Fl_Window& window, const TForm::TitleBarButtons& bar);

}  // namespace fltk_backend
