#include "tools/vdev/line_pacer.h"

#include <sys/prctl.h>

#include <cerrno>

namespace {

constexpr long kCharacterNs = 10 * 1000000000L / 9600;  // 1,041,666 ns

long long Ns(const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

timespec FromNs(long long ns) { return timespec{static_cast<time_t>(ns / 1000000000), ns % 1000000000}; }

long long NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return Ns(now);
}

long long Later(long long a, long long b) { return a > b ? a : b; }

}  // namespace

LinePacer::LinePacer(bool emulate) : emulate_(emulate) {
  // The kernel's default timer slack (50 us) would add up over thousands of characters.
  if (emulate_) prctl(PR_SET_TIMERSLACK, 1UL);
}

void LinePacer::Received() {
  if (!emulate_) return;
  receivedComplete_ = FromNs(Later(NowNs(), Ns(receivedComplete_)) + kCharacterNs);
}

void LinePacer::BeforeSend() {
  if (!emulate_) return;
  long long start = Later(NowNs(), Later(Ns(sendComplete_), Ns(receivedComplete_)));
  sendComplete_ = FromNs(start + kCharacterNs);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &sendComplete_, nullptr) == EINTR) {
  }
}
