// The exit codes of a run, which a station's tally already counts in: documented in
// fwflash-cli's --help and the README.
#pragma once

constexpr int kExitAllFlashed = 0;
constexpr int kExitDeviceFailed = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitPortUnusable = 3;
