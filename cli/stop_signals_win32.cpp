#include <windows.h>

#include "cli/stop_signals.h"

namespace {

StopRequest* g_stop = nullptr;

// Called on a thread of its own, which the console makes for each event.
BOOL WINAPI OnConsoleEvent(DWORD) {
  g_stop->Request();
  return TRUE;
}

}  // namespace

void StopOnSignals(StopRequest& stop) {
  g_stop = &stop;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
