#include "pseudo_terminal/line_pacer.h"

#include <time.h>

#include <algorithm>
#include <cerrno>

namespace {

// A sleep on these machines ends some 50 us late even with the least timer slack; the
// last stretch is waited out on the clock, or the lateness would add up per character.
constexpr long long kSpinNs = 100000;

long long NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

void WaitUntil(long long deadline) {
  long long sleepUntil = deadline - kSpinNs;
  if (sleepUntil > NowNs()) {
    timespec wake{static_cast<time_t>(sleepUntil / 1000000000), static_cast<long>(sleepUntil % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
  }
  while (NowNs() < deadline) {
  }
}

}  // namespace

LinePacer::LinePacer(long long characterNs) : characterNs_(characterNs) {}

void LinePacer::Received() {
  if (characterNs_ == 0) return;
  receivedComplete_ = std::max(NowNs(), receivedComplete_) + characterNs_;
  knownAt_ = receivedComplete_;
}

void LinePacer::BeforeSend() {
  if (characterNs_ == 0) return;
  sendComplete_ = std::max(knownAt_, sendComplete_) + characterNs_;
  WaitUntil(sendComplete_);
}
