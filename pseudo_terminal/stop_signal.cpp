#include "pseudo_terminal/stop_signal.h"

#include <poll.h>

namespace {

volatile sig_atomic_t stopRequested = 0;
sigset_t waitMask;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

void BlockStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGINT);
}

bool StopRequested() { return stopRequested != 0; }

const sigset_t* WaitMask() { return &waitMask; }

bool PauseUntil(std::chrono::steady_clock::time_point until) {
  for (;;) {
    if (StopRequested()) return false;
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    timespec pause{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
    ppoll(nullptr, 0, &pause, WaitMask());
  }
}
