// What a window manager is told about the program's windows beyond what FLTK says: the
// title bar's buttons and the functions behind them, as Motif window-manager hints (kept
// by metacity and mutter; openbox and icewm ignore them), and the main window as the
// owner (WM_TRANSIENT_FOR) of a window that cannot be minimised on its own, so that it
// stays above the main window and has no taskbar entry of its own. A window with a
// minimise button keeps its own life: window managers minimise an owned window only
// together with its owner. FLTK writes Motif hints of its own when it makes a native
// window, and makes a new one at every show after a hide: these are written after it.
#include <FL/x.H>

#include "toolkit/toolkit_fltk.h"

namespace {

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr long kFunctionsGiven = 1, kDecorationsGiven = 2;
constexpr long kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32;
constexpr long kBorder = 2, kTitle = 8, kMenu = 16, kMinimizeButton = 32, kMaximizeButton = 64;

void SetTitleBar(Fl_Window& window, const TForm::TitleBarButtons& bar) {
  // A fixed border: neither resize handles nor the function.
  long functions = kMove, decorations = kBorder | kTitle;
  if (bar.close) functions |= kClose, decorations |= kMenu;
  if (bar.minimize) functions |= kMinimize, decorations |= kMinimizeButton;
  if (bar.maximize) functions |= kMaximize, decorations |= kMaximizeButton;
  long hints[5] = {kFunctionsGiven | kDecorationsGiven, functions, decorations, 0, 0};
  const Atom atom = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(&window), atom, atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
}

}  // namespace

namespace fltk_backend {

void SetWindowManagerHints(Fl_Window& window, const TForm::TitleBarButtons& bar) {
  if (!window.shown()) return;
  SetTitleBar(window, bar);
  Fl_Window* owner = MainNativeWindow();
  if (!bar.minimize && owner != nullptr && owner != &window && owner->shown()) {
    XSetTransientForHint(fl_display, fl_xid(&window), fl_xid(owner));
  }
}

}  // namespace fltk_backend
