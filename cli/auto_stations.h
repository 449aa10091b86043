// fwflash-cli --port auto: the stations are the candidates whose device answers.
//
//   FlashAuto(options, image, stop, events, output)
//     without --wait: every candidate that opens and is not in use gets the sync at the
//                     same moment; each that acknowledges within the full 100 ms becomes
//                     a station that flashes its device. With none, a line says so and
//                     the exit code is 3
//     with --wait:    a station on every candidate, present or plugged in later (the list
//                     is looked at again every half second); --count N ends them all
//                     once N devices, counted together, are done
//   Returns the exit code, after the summary.
#pragma once

#include "cli/cli_options.h"
#include "cli/output.h"

int FlashAuto(const CliOptions& options, const FirmwareImage& image, StopRequest& stop,
              StationEvents& events, Output& output);
