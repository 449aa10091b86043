// fwflash-cli's options of production jobs and lists, beside the others.
//
//   AddJobOptions(app, options)   --job, --import-list and its --list-* and --secret,
//                                 --lists
#pragma once

#include <CLI/CLI.hpp>

#include "cli/cli_options.h"

void AddJobOptions(CLI::App& app, CliOptions& options);
