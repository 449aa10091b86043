// The toolkit on a real X server: windows and dialogs are drawn (screenshots land in
// screenshots-tmp/ for a person to look at), xdotool gives the input, and a click made
// while a window was disabled never runs.
#include <fstream>
#include <string>

#include "toolkit/bitmap_file.h"
#include "toolkit/message_dialog.h"
#include "tests/toolkit/gui_fixture.h"

using namespace gui;

TEST_F(Gui, ASampleWindowDrawsEveryKindOfControl) {
  auto* form = Create<0>("Sample");
  form->SetColor(0xA86156);
  TImage* image = form->Control<TImage>("Image_Product");
  image->Picture().LoadFromFile(kPicture);
  image->Repaint();
  TProgressBar* bar = form->Control<TProgressBar>("ProgressBar");
  bar->SetMax(1000);
  bar->SetPosition(400);
  form->Show();
  TLabel* label = form->Control<TLabel>("Lbl_LangVer");
  EXPECT_GT(label->Width(), 60) << "the label sized itself to its text";

  const std::string id = FindWindow(captions_[0]);
  ASSERT_FALSE(id.empty());
  const std::string shot = Screenshot(id, "sample-window");
  EXPECT_EQ(Pixel(shot, 2, 2), Srgb(86, 97, 168)) << "the window's colour";
  // The picture from its top-left corner, clipped to the 9 x 9 control.
  std::ifstream file(kPicture, std::ios::binary);
  BitmapPixels picture;
  ASSERT_EQ(DecodeBitmap({std::istreambuf_iterator<char>(file), {}}, picture), "");
  auto pictureAt = [&picture](int x, int y) {
    const uint8_t* p = &picture.rgb[(y * picture.width + x) * 3];
    return Srgb(p[0], p[1], p[2]);
  };
  EXPECT_EQ(Pixel(shot, 8, 8), pictureAt(0, 0));
  EXPECT_EQ(Pixel(shot, 16, 16), pictureAt(8, 8));
  EXPECT_EQ(Pixel(shot, 17, 12), Srgb(86, 97, 168)) << "clipped right of the control";
  EXPECT_EQ(Pixel(shot, 12, 17), Srgb(86, 97, 168)) << "clipped below the control";
}

TEST_F(Gui, ProgressStepsShowWhileAHandlerHoldsTheThread) {
  auto* form = Create<0>("Progress");
  form->Show();
  const std::string id = FindWindow(captions_[0]);
  TProgressBar* bar = form->Control<TProgressBar>("ProgressBar");
  bar->SetMax(100);
  bar->SetPosition(0);
  for (int i = 0; i < 50; ++i) bar->StepIt();
  // No event is handled between the steps and the screenshot.
  const std::string shot = Screenshot(id, "progress-half");
  EXPECT_EQ(Pixel(shot, 17 + 40, 228), Srgb(6, 176, 37)) << "filled part";
  EXPECT_EQ(Pixel(shot, 17 + 130, 228), Srgb(230, 230, 230)) << "empty part";
}

TEST_F(Gui, AClickQueuedWhileTheWindowWasDisabledDoesNotRunAfterwards) {
  auto* form = Create<0>("Disabled");
  int clicks = 0;
  form->Control<TButton>("Btn_Flash")->OnClick = [&clicks] { ++clicks; };
  form->Show();
  const std::string id = FindWindow(captions_[0]);
  const std::string click = "xdotool mousemove --window " + id + " 124 204 click 1";
  form->SetEnabled(false);
  Shell(click);  // made while a handler would hold the thread
  form->SetEnabled(true);
  Pump(0.5);
  EXPECT_EQ(clicks, 0);
  Shell(click);
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 1; })) << "an enabled window takes the same click";
}

TEST_F(Gui, EscapeLeavesAWindowOpenAndEnterPressesTheFocusedButton) {
  auto* form = Create<0>("Keys");
  int clicks = 0;
  form->Control<TButton>("Btn_Flash")->OnClick = [&clicks] { ++clicks; };
  form->Show();
  const std::string id = FindWindow(captions_[0]);
  Shell("xdotool key --window " + id + " Escape 2>/dev/null");
  Pump(0.3);
  EXPECT_EQ(FindWindow(captions_[0]), id) << "still shown";
  EXPECT_TRUE(form->Visible());
  Shell("xdotool key --window " + id + " Return 2>/dev/null");
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 1; }));
  Shell("xdotool key --window " + id + " space 2>/dev/null");
  EXPECT_TRUE(PumpUntil([&clicks] { return clicks == 2; }));
}

TEST_F(Gui, TheCloseBoxHidesASecondaryWindowIsIgnoredWithoutSystemMenuAndEndsTheLoopOnTheMain) {
  auto* main = Create<0>("Main");
  auto* other = Create<1>("Other", FormPosition::MainFormCenter);
  auto* noMenu = Create<2>("NoMenu", FormPosition::Designed, false);
  other->Show();
  noMenu->Show();
  const std::string otherId = FindWindow(captions_[1]), noMenuId = FindWindow(captions_[2]);
  SendCloseRequest(otherId);
  EXPECT_TRUE(PumpUntil([other] { return !other->Visible(); }));
  SendCloseRequest(noMenuId);
  Pump(0.3);
  EXPECT_TRUE(noMenu->Visible());
  EXPECT_FALSE(app_->Terminated());

  static std::string mainTitle;
  mainTitle = captions_[0];
  Fl::add_timeout(0.1, [](void*) { SendCloseRequest(FindWindow(mainTitle)); });
  app_->Run();  // returns once the main window's close box ended it
  EXPECT_TRUE(app_->Terminated());
  EXPECT_TRUE(main->Visible());
}

TEST_F(Gui, TheMessageDialogClosesWithEnterOrEscapeAndReturns) {
  const std::string title = app_->Title();
  // Once the dialog has been drawn (its face colour at its corner): a shot and a key.
  auto closeWith = [&title](const std::string& key, const std::string& shot) {
    Shell("(id=$(timeout 10 xdotool search --sync --onlyvisible --name '^" + title +
          "$' | head -n1); timeout 10 sh -c \"until import -window $id -crop 1x1+2+2 -depth 8 "
          "txt:- | grep -q F0F0F0; do sleep 0.05; done\"; import -window $id " + kShots + shot +
          ".png; xdotool key --window $id " + key + ") >/dev/null 2>&1 &");
  };
  closeWith("Return", "message-dialog");
  ShowMessageDialog(
      "The device did not answer. Check that the cable is plugged in, that the device is "
      "switched on, and that nothing else uses the port, then press &Flash again.\n"
      "Second line:\tafter a tab, with && and user@example.com and caf\xE9");
  closeWith("Escape", "error-box");
  ShowErrorBox("Bitmap image is not valid");
  const std::string width = Shell("identify -format %w " + kShots + "message-dialog.png");
  ASSERT_FALSE(width.empty());
  EXPECT_LE(std::stoi(width), 1024 / 2 + 40) << "wrapped at half the screen's width";
}
