// SIGTERM and SIGINT end the virtual device cleanly. They stay blocked except while it
// waits for the terminal, so that a wait notices them without a race.
//
//   BlockStopSignals()    installs the handler and blocks both signals
//   StopRequested()       whether one of them has arrived
//   WaitMask()            the signal mask to wait with (ppoll): both unblocked
#pragma once

#include <signal.h>

void BlockStopSignals();
bool StopRequested();
const sigset_t* WaitMask();
