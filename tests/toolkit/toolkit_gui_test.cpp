// The toolkit on a real X server: windows and dialogs are drawn (screenshots land in
// screenshots-tmp/ for a person to look at), xdotool gives the input, and a click made
// while a window was disabled never runs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "toolkit/bitmap_file.h"
#include "toolkit/message_dialog.h"
#include "toolkit/toolkit.h"
#include "tests/toolkit/sample_form.h"

// Last: the X headers' macros clash with the names above.
#include <FL/Fl.H>

namespace {

const std::string kShots = FWFLASH_SOURCE_DIR "/screenshots-tmp/";
const char* const kPicture = FWFLASH_SOURCE_DIR "/payload/product_picture.bmp";
const std::string kSuffix = std::to_string(getpid());

std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

std::string FindWindow(const std::string& title) {
  return Shell("timeout 10 xdotool search --sync --onlyvisible --name '^" + title + "$' 2>/dev/null | head -n1");
}

std::string Screenshot(const std::string& windowId, const std::string& name) {
  const std::string path = kShots + name + ".png";
  Shell("import -window " + windowId + " " + path);
  return path;
}

std::string Pixel(const std::string& png, int x, int y) {
  return Shell("convert " + png + " -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]' info:");
}

std::string Srgb(int r, int g, int b) {
  return "srgb(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")";
}

// Asks a window to close as a window manager does when its close box is pressed.
void SendCloseRequest(const std::string& windowId) {
  Shell(std::string(std::getenv("FWFLASH_BUILD_DIR")) + "/tests/close_window " + windowId);
}

// Handles events until done() or the time is up; the time only bounds a failure.
bool PumpUntil(const std::function<bool()>& done, double seconds = 5) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Fl::wait(0.02);
  }
  return true;
}

void Pump(double seconds) {
  PumpUntil([] { return false; }, seconds);
}

template <int N>
struct TestWindow : SampleForm {
  static FormDescription description;
  TestWindow() : SampleForm(description) {}
};
template <int N>
FormDescription TestWindow<N>::description;

class Gui : public testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("FWFLASH_TEST_DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no X server for GUI tests";
    setenv("DISPLAY", display, 1);
    alarm(60);  // a dialog that nobody closes fails the test instead of hanging it
    mkdir(kShots.c_str(), 0755);
    app_ = std::make_unique<TApplication>();
    app_->Initialize(("/x/fwflash-gui-" + kSuffix).c_str());
    ASSERT_TRUE(app_->HasDisplay());
  }
  void TearDown() override { alarm(0); }

  // A window of the sample layout with a caption of its own.
  template <int N>
  TestWindow<N>* Create(const std::string& caption, FormPosition position = FormPosition::Designed,
                    bool systemMenu = true) {
    captions_[N] = caption + " " + kSuffix;
    TestWindow<N>::description = SampleFormDescription(captions_[N].c_str(), position, systemMenu);
    TestWindow<N>* form = nullptr;
    app_->CreateForm(form);
    return form;
  }

  std::string captions_[3];
  std::unique_ptr<TApplication> app_;
};

}  // namespace

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
