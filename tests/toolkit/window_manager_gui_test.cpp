// What a window manager is told about the windows, read back from the X server as a
// window manager reads it (none runs here): the title bar's buttons follow the border
// icons, and a window that cannot be minimised on its own, the message dialog included,
// belongs to the main window.
#include <string>

#include "toolkit/message_dialog.h"
#include "tests/toolkit/gui_fixture.h"

using namespace gui;

namespace {

// _MOTIF_WM_HINTS functions and decorations.
constexpr long kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32;
constexpr long kBorder = 2, kTitle = 8, kMenu = 16, kMinimizeButton = 32, kMaximizeButton = 64;

struct TitleBarHints {
  long functions = -1, decorations = -1;
  bool operator==(const TitleBarHints& other) const {
    return functions == other.functions && decorations == other.decorations;
  }
};

std::ostream& operator<<(std::ostream& out, const TitleBarHints& hints) {
  return out << "functions " << hints.functions << ", decorations " << hints.decorations;
}

TitleBarHints HintsOf(Window window) {
  const Atom atom = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  TitleBarHints hints;
  if (XGetWindowProperty(fl_display, window, atom, 0, 5, False, atom, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr && count == 5) {
    const long* values = reinterpret_cast<const long*>(data);
    if (values[0] == 3) hints = {values[1], values[2]};  // both given
  }
  if (data != nullptr) XFree(data);
  return hints;
}

Window OwnerOf(Window window) {
  Window owner = 0;
  return XGetTransientForHint(fl_display, window, &owner) ? owner : 0;
}

// What the message dialog told the window manager, read while it is open.
struct DialogSeen {
  TitleBarHints hints;
  Window owner = 0;
  bool seen = false;
};
DialogSeen g_dialog;

// Once the open dialog has been drawn (its face at its corner): its hints, then it is
// closed as its close box would close it.
void ReadAndCloseDialog(void*) {
  Fl_Window* dialog = Fl::modal();
  if (dialog == nullptr || !dialog->shown() || WindowImage(fl_xid(dialog), 2, 2, 1, 1).At(0, 0) != 0xF0F0F0) {
    Fl::repeat_timeout(0.02, ReadAndCloseDialog);
    return;
  }
  g_dialog = {HintsOf(fl_xid(dialog)), OwnerOf(fl_xid(dialog)), true};
  dialog->hide();
}

}  // namespace

TEST_F(Gui, TitleBarButtonsFollowTheBorderIconsAndOnlyAWindowWithoutMinimiseBelongsToTheMain) {
  auto* main = Create<0>("Main");  // system menu and minimise
  Describe<1>("Maximisable").borderIcons = {true, true, true};
  auto* maximisable = CreateDescribed<1>();
  auto* noMenu = Create<2>("NoMenu", FormPosition::Designed, false);  // minimise without a menu
  for (TForm* form : {static_cast<TForm*>(main), static_cast<TForm*>(maximisable), static_cast<TForm*>(noMenu)})
    form->Show();

  const TitleBarHints mainBar{kMove | kClose | kMinimize, kBorder | kTitle | kMenu | kMinimizeButton};
  EXPECT_EQ(HintsOf(Native(0)), mainBar) << "a fixed border: no resizing, no maximise";
  EXPECT_EQ(HintsOf(Native(1)), (TitleBarHints{kMove | kClose | kMinimize | kMaximize,
                                               kBorder | kTitle | kMenu | kMinimizeButton | kMaximizeButton}));
  const TitleBarHints noButtons{kMove, kBorder | kTitle};
  EXPECT_EQ(HintsOf(Native(2)), noButtons) << "minimise needs the system menu";
  EXPECT_EQ(OwnerOf(Native(0)), 0u);
  EXPECT_EQ(OwnerOf(Native(1)), 0u) << "a window that can be minimised keeps its own life";
  EXPECT_EQ(OwnerOf(Native(2)), Native(0));

  // Shown again after a hide, a window is a new X window: told again.
  noMenu->Hide();
  noMenu->Show();
  EXPECT_EQ(HintsOf(Native(2)), noButtons);
  EXPECT_EQ(OwnerOf(Native(2)), Native(0));
}

TEST_F(Gui, TheMessageDialogOffersOnlyACloseBoxAndBelongsToTheMainWindow) {
  Create<0>("Owner")->Show();
  Create<1>("Shown last")->Show();  // FLTK on its own would tie the dialog to this one
  g_dialog = {};
  Fl::add_timeout(0.02, ReadAndCloseDialog);
  ShowMessageDialog("Cannot open COM1 port!");  // returns once the timeout closed it
  ASSERT_TRUE(g_dialog.seen);
  EXPECT_EQ(g_dialog.hints, (TitleBarHints{kMove | kClose, kBorder | kTitle | kMenu}));
  EXPECT_EQ(g_dialog.owner, Native(0));
}
