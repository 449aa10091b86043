// fwflash-cli --port auto: the stations are the candidates whose device answers.
//
//   FlashAuto(options, image, records, stop, events, exitCode)
//     without --wait: every candidate that opens and is not in use gets the sync (or
//                     the probe, or under auto the probe and then the sync) at the same
//                     moment (ports/answering_ports.h); each whose device answers becomes
//                     a station that flashes its device. With none, a line says so and
//                     exitCode is set to 3
//     with --wait:    a station on every candidate, present or plugged in later (the list
//                     is looked at again every half second); --count N ends them all
//                     once N devices, counted together, are done
//   Returns the stations' tallies.
#pragma once

#include <vector>

#include "cli/cli_options.h"
#include "stations/station.h"

std::vector<StationTally> FlashAuto(const CliOptions& options, const FirmwareImage& image,
                                    const StationRecords& records, StopRequest& stop,
                                    StationEvents& events, int& exitCode);
