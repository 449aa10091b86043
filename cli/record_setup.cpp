// This PC's name and the arguments in UTF-8 are per platform (record_setup_posix.cpp,
// _win32.cpp).
#include "cli/record_setup.h"

#include "files/program_file.h"

std::string DefaultProduct(const std::string& programFile) {
  std::string name = ProgramName(programFile);
  const std::string cli = "-cli";
  if (name.size() > cli.size() && name.compare(name.size() - cli.size(), cli.size(), cli) == 0) {
    name.resize(name.size() - cli.size());
  }
  return name;
}

namespace {

// A first or last number of the block: a decimal the format can hold.
bool ParseBlockEnd(const std::string& option, const std::string& text, const SerialFormat& format,
                   int64_t& number, std::string& error) {
  if (!ParseSerialNumber(text, number, error)) {
    error = option + ": " + error;
    return false;
  }
  if (number > LargestSerial(format)) {
    error = option + " " + text + " does not fit the serial format: its largest number is " +
            std::to_string(LargestSerial(format));
    return false;
  }
  return true;
}

}  // namespace

bool PlanSerials(const CliOptions& options, const FirmwareImage& image, const std::string& product,
                 SerialPlacement& placement, SerialBlock& block, std::string& error) {
  if (!ParseImageOffset(options.serialAt, placement.offset, error) ||
      !ParseSerialFormat(options.serialFormat, placement.format, error) ||
      !CheckPlacement(image.bytes, placement, options.serialOverwrite, error)) {
    return false;
  }
  block.product = product;
  block.firstGiven = !options.serialFirst.empty();
  block.last = LargestSerial(placement.format);
  if (block.firstGiven && !ParseBlockEnd("--serial-first", options.serialFirst, placement.format,
                                         block.first, error)) {
    return false;
  }
  if (!options.serialLast.empty() &&
      !ParseBlockEnd("--serial-last", options.serialLast, placement.format, block.last, error)) {
    return false;
  }
  if (block.first > block.last) {
    error = "the first serial number (" + std::to_string(block.first) +
            ") is above the last (" + std::to_string(block.last) + ")";
    return false;
  }
  return true;
}
