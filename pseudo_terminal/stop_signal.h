// SIGTERM and SIGINT end a device on a pseudo-terminal (the virtual device, the bootloader
// simulation) cleanly. They stay blocked except while it waits for the terminal, so that
// a wait notices them without a race.
//
//   BlockStopSignals()    installs the handler and blocks both signals
//   StopRequested()       whether one of them has arrived
//   WaitMask()            the signal mask to wait with (ppoll): both unblocked
//   PauseUntil(until)     sleeps until then; false at once when one of them arrives
#pragma once

#include <signal.h>

#include <chrono>

void BlockStopSignals();
bool StopRequested();
const sigset_t* WaitMask();
bool PauseUntil(std::chrono::steady_clock::time_point until);
