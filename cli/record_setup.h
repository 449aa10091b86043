// The run's records and serial numbers, from the command line, checked before anything
// is sent.
//
//   HostName()                          this PC's name, for the records' pc
//   DefaultProduct(programFile)         the program's own name without .exe and without
//                                       a -cli ending: acme-probe-cli counts for acme-probe
//   Utf8Argument(argument)              a path from the command line as the records take
//                                       it, in UTF-8 (on Windows the command line comes in
//                                       the ANSI code page; elsewhere it is as given)
//   PlanSerials(options, image, product, placement, block, error)
//                                       the serial numbers' place and block; false with a
//                                       reason when the number does not fit the image,
//                                       the placeholder is not blank, or a first or last
//                                       number is beyond the format or out of order
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "cli/firmware_source.h"
#include "records/record_store.h"
#include "serials/serial_image.h"

std::string HostName();
std::string Utf8Argument(const std::string& argument);
std::string DefaultProduct(const std::string& programFile);
bool PlanSerials(const CliOptions& options, const FirmwareImage& image, const std::string& product,
                 SerialPlacement& placement, SerialBlock& block, std::string& error);
