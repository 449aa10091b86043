#include "cli/record_setup.h"

#include "files/program_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string HostName() {
  char name[256] = {};
#ifdef _WIN32
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return "unknown";
#else
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
#endif
  return name;
}

std::string Utf8Argument(const std::string& argument) {
#ifdef _WIN32
  const int wideSize = MultiByteToWideChar(CP_ACP, 0, argument.c_str(), -1, nullptr, 0);
  if (wideSize <= 0) return argument;
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  MultiByteToWideChar(CP_ACP, 0, argument.c_str(), -1, &wide[0], wideSize);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return argument;
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], size, nullptr, nullptr);
  utf8.pop_back();  // the terminating NUL
  return utf8;
#else
  return argument;
#endif
}

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
