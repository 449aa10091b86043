#include "cli/stop_signals.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

StopRequest* g_stop = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free, "a stop is requested from a signal handler");

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
  g_stop->Request();
  return TRUE;
}
#else
void OnSignal(int) { g_stop->Request(); }
#endif

}  // namespace

void StopOnSignals(StopRequest& stop) {
  g_stop = &stop;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
}
