// What the GUI tests share: a fresh application on the X server that ./test started
// (FWFLASH_TEST_DISPLAY), windows of the sample layout, shell commands for xdotool and
// ImageMagick, and an event pump that waits for a condition.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/toolkit.h"
#include "tests/toolkit/sample_form.h"

// Last: the X headers' macros clash with the names above.
#include <FL/Fl.H>
#include <FL/x.H>

namespace gui {

inline const std::string kShots = FWFLASH_SOURCE_DIR "/screenshots-tmp/";
inline const char* const kPicture = FWFLASH_SOURCE_DIR "/payload/product_picture.bmp";
inline const std::string kSuffix = std::to_string(getpid());

inline std::string Shell(const std::string& command) {
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

inline std::string FindWindow(const std::string& title) {
  return Shell("timeout 10 xdotool search --sync --onlyvisible --name '^" + title + "$' 2>/dev/null | head -n1");
}

inline std::string Screenshot(const std::string& windowId, const std::string& name) {
  const std::string path = kShots + name + ".png";
  Shell("import -window " + windowId + " " + path);
  return path;
}

inline std::string Pixel(const std::string& png, int x, int y) {
  return Shell("convert " + png + " -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]' info:");
}

inline std::string Srgb(int r, int g, int b) {
  return "srgb(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")";
}

// Asks a window to close as a window manager does when its close box is pressed.
inline void SendCloseRequest(const std::string& windowId) {
  Shell(std::string(std::getenv("FWFLASH_BUILD_DIR")) + "/tests/close_window " + windowId);
}

// Handles events until done() or the time is up; the time only bounds a failure.
inline bool PumpUntil(const std::function<bool()>& done, double seconds = 5) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Fl::wait(0.02);
  }
  return true;
}

inline void Pump(double seconds) {
  PumpUntil([] { return false; }, seconds);
}

// A rectangle of a window as the server shows it now, pixels as 0xRRGGBB (24-bit screen).
class WindowImage {
 public:
  WindowImage(Window window, int x, int y, int w, int h)
      : image_(XGetImage(fl_display, window, x, y, w, h, AllPlanes, ZPixmap)) {}
  ~WindowImage() {
    if (image_ != nullptr) XDestroyImage(image_);
  }
  WindowImage(const WindowImage&) = delete;
  WindowImage& operator=(const WindowImage&) = delete;

  bool Ok() const { return image_ != nullptr; }
  unsigned long At(int x, int y) const { return XGetPixel(image_, x, y) & 0xFFFFFF; }

 private:
  XImage* image_;
};

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
    Describe<N>(caption, position, systemMenu);
    return CreateDescribed<N>();
  }

  // The description Create would use, to be changed before CreateDescribed.
  template <int N>
  FormDescription& Describe(const std::string& caption, FormPosition position = FormPosition::Designed,
                            bool systemMenu = true) {
    captions_[N] = caption + " " + kSuffix;
    return TestWindow<N>::description = SampleFormDescription(captions_[N].c_str(), position, systemMenu);
  }

  template <int N>
  TestWindow<N>* CreateDescribed() {
    TestWindow<N>* form = nullptr;
    app_->CreateForm(form);
    return form;
  }

  // The X window of the visible window with that caption, as xdotool finds it.
  Window Native(int n) const { return std::strtoul(FindWindow(captions_[n]).c_str(), nullptr, 10); }

  std::string captions_[3];
  std::unique_ptr<TApplication> app_;
};

}  // namespace gui
