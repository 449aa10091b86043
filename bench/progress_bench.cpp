// What the progress window costs the display per flash: the real window steps its bar
// once per byte of the built-in image, as the transfer makes it, on the X server that
// DISPLAY names. Counted from the outside, through the X connection: the steps that sent
// anything to the server (redraws), the requests sent, and the time a flash's steps take
// with the server's work included (a round trip after the last step).
//
// Usage: DISPLAY=:N progress_bench [FLASHES]   (default 20)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "forms/Progress.h"
#include "payload/payload_block.h"
#include "toolkit/toolkit.h"

// Last: the X headers' macros clash with the names above.
#include <FL/x.H>

namespace {

struct Flash {
  int redraws = 0;
  unsigned long requests = 0;
  double milliseconds = 0;
};

Flash OneFlash(TForm_Progress& window) {
  TProgressBar& bar = *window.ProgressBar;
  bar.SetMin(0);
  bar.SetMax(static_cast<int32_t>(Payload.FirmwareSize));
  bar.SetPosition(0);
  XSync(fl_display, False);
  Flash flash;
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t byte = 0; byte < Payload.FirmwareSize; ++byte) {
    const unsigned long before = XNextRequest(fl_display);
    window.ByteAccepted();
    const unsigned long sent = XNextRequest(fl_display) - before;
    flash.redraws += sent > 0;
    flash.requests += sent;
  }
  XSync(fl_display, False);
  flash.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return flash;
}

template <class T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int flashes = argc > 1 ? std::atoi(argv[1]) : 20;
  TApplication application;
  application.Initialize(argv[0]);
  if (flashes < 1 || !application.HasDisplay()) {
    std::fprintf(stderr, "usage: DISPLAY=:N progress_bench [FLASHES]\n");
    return 2;
  }
  application.CreateForm(Form_Progress);
  Form_Progress->Show();
  std::vector<int> redraws;
  std::vector<unsigned long> requests;
  std::vector<double> times;
  for (int i = 0; i < flashes; ++i) {
    const Flash flash = OneFlash(*Form_Progress);
    redraws.push_back(flash.redraws);
    requests.push_back(flash.requests);
    times.push_back(flash.milliseconds);
  }
  std::printf("Progress bar, %u steps per flash, %d flashes:   median\n", Payload.FirmwareSize, flashes);
  std::printf("  steps that drew (redraws)   %8d\n", Median(redraws));
  std::printf("  X requests sent             %8lu\n", Median(requests));
  std::printf("  time of the steps           %8.1f ms   (fastest %.1f ms)\n", Median(times),
              *std::min_element(times.begin(), times.end()));
  return 0;
}
