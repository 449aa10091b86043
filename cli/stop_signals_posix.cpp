#include <csignal>

#include "cli/stop_signals.h"

namespace {

StopRequest* g_stop = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free, "a stop is requested from a signal handler");

void OnSignal(int) { g_stop->Request(); }

}  // namespace

void StopOnSignals(StopRequest& stop) {
  g_stop = &stop;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}
