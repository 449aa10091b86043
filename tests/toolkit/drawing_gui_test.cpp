// What the FLTK backend draws, read back from the X server: "&" in labels and static
// texts marks an accelerator as it does in the Windows build, and a progress bar is drawn
// again exactly when its filled width changes, at once, without handling any event.
#include <cmath>
#include <string>
#include <vector>

#include "tests/toolkit/gui_fixture.h"

#include <FL/fl_draw.H>

using namespace gui;

namespace {

constexpr unsigned long kFill = 0x06B025, kEmpty = 0xE6E6E6;

// The width of a text drawn literally in the windows' font at 96 dots per inch.
int LiteralWidth(const char* text) {
  fl_font(FL_HELVETICA, 11);
  int width = 0, height = 0;
  fl_measure(text, width, height);
  return width;
}

// The pixels where two same-sized areas of a window differ, as (x, y) in the area.
std::vector<std::pair<int, int>> Differences(Window window, const TControl& a, const TControl& b) {
  WindowImage first(window, a.Left(), a.Top(), a.Width(), a.Height() + 3);  // the underline may hang below
  WindowImage second(window, b.Left(), b.Top(), b.Width(), b.Height() + 3);
  std::vector<std::pair<int, int>> differences;
  for (int y = 0; first.Ok() && second.Ok() && y < a.Height() + 3; ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (first.At(x, y) != second.At(x, y)) differences.emplace_back(x, y);
  return differences;
}

// An underline under the first letter only: one row, at the start of the text.
void ExpectUnderlineUnderFirstLetter(const std::vector<std::pair<int, int>>& differences, const char* what) {
  ASSERT_FALSE(differences.empty()) << what << ": no letter underlined";
  for (const auto& [x, y] : differences) {
    EXPECT_EQ(y, differences.front().second) << what << ": more than an underline differs";
    EXPECT_LT(x, 10) << what << ": beyond the first letter";
  }
}

}  // namespace

TEST_F(Gui, LabelsAndStaticTextsTakeAmpersandAsAnAcceleratorMark) {
  FormDescription& description = Describe<0>("Marks");
  ControlDescription marked{"Lbl_Marked", ControlKind::Label, 8, 8, 60, 13, "&Flash && go"};
  ControlDescription plain{"Lbl_Plain", ControlKind::Label, 8, 32, 60, 13, "Flash && go"};
  ControlDescription windowsText{"Lbl_LangVer", ControlKind::Label, 8, 56, 60, 13, "Lang@ver &1\tEnglish"};
  marked.autoSize = plain.autoSize = windowsText.autoSize = true;
  ControlDescription markedBox{"SText_Marked", ControlKind::StaticText, 8, 80, 153, 60,
                               "&Connect the device && press the button below to start."};
  ControlDescription plainBox{"SText_Plain", ControlKind::StaticText, 8, 150, 153, 60,
                              "Connect the device && press the button below to start."};
  description.controls = {marked, plain, windowsText, markedBox, plainBox};
  auto* form = CreateDescribed<0>();
  form->Show();

  // A label sizes itself to what it shows: "&&" is one "&", "&x" is x.
  EXPECT_EQ(form->Control<TLabel>("Lbl_Marked")->Width(), LiteralWidth("Flash & go"));
  EXPECT_EQ(form->Control<TLabel>("Lbl_Plain")->Width(), LiteralWidth("Flash & go"));
  EXPECT_EQ(form->Control<TLabel>("Lbl_LangVer")->Width(), LiteralWidth("Lang@@ver 1\tEnglish"));
  EXPECT_EQ(form->Control<TLabel>("Lbl_LangVer")->Caption(), "Lang@ver &1\tEnglish") << "the text keeps its bytes";

  const Window window = Native(0);
  Screenshot(FindWindow(captions_[0]), "accelerator-marks");
  ExpectUnderlineUnderFirstLetter(
      Differences(window, *form->Control<TLabel>("Lbl_Marked"), *form->Control<TLabel>("Lbl_Plain")), "label");
  ExpectUnderlineUnderFirstLetter(Differences(window, *form->Control<TStaticText>("SText_Marked"),
                                              *form->Control<TStaticText>("SText_Plain")),
                                  "static text");
}

TEST_F(Gui, ABarIsDrawnAgainAtOnceWhenItsFillChangesAndOnlyThen) {
  auto* form = Create<0>("Steps");
  form->Show();
  const Window window = Native(0);
  TProgressBar* bar = form->Control<TProgressBar>("ProgressBar");
  // Inside its 1-pixel frame: 168 pixels from x 18, on row 228.
  const int left = bar->Left() + 1, width = bar->Width() - 2, row = bar->Top() + 8;
  auto drawnFill = [&] {
    WindowImage image(window, left, row, width, 1);
    int filled = 0;
    while (image.Ok() && filled < width && image.At(filled, 0) == kFill) ++filled;
    return filled < width && image.At(filled, 0) != kEmpty ? -1 : filled;  // -1: neither colour
  };

  for (int32_t range : {1000, 10}) {  // more steps than pixels, then fewer
    bar->SetMax(range);
    bar->SetPosition(0);
    XSync(fl_display, False);
    ASSERT_EQ(drawnFill(), 0);
    int previous = 0;
    for (int32_t position = 1; position <= range; ++position) {
      const unsigned long before = XNextRequest(fl_display);
      bar->StepIt();
      const bool sent = XNextRequest(fl_display) != before;
      const int expected = static_cast<int>(std::lround(static_cast<double>(position) * width / range));
      EXPECT_EQ(sent, expected != previous) << "step to " << position << " of " << range;
      ASSERT_EQ(drawnFill(), expected) << "step to " << position << " of " << range;  // no event handled
      previous = expected;
    }
  }
}
