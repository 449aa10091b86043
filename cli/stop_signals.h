// SIGINT and SIGTERM (Ctrl+C and Ctrl+Break, or the console closing, on Windows) make
// the stop request that every station watches: a running conversation ends within
// about 100 ms and counts as failed, a waiting station ends, the summary follows.
#pragma once

#include "device/stop_request.h"

void StopOnSignals(StopRequest& stop);
