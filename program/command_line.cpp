#include "program/command_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "device/crc32.h"
#include "files/program_file.h"
#include "fwflash_version.h"
#include "payload/payload_block.h"
#include "program/program_notice.h"
#include "signatures/image_signature.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kShown = 0, kBadCommandLine = 2;

const char kUsage[] =
    "usage: fwflash [--port PATH|auto [--exclude PATH]...] [--protocol 1|2|auto] [--max-baud N] [--key NAME.pub]\n"
    "               [--version]";

// The CLI's wording, so that both programs of a release name their firmware alike.
bool VersionLine(const std::string& programFile, std::string& line) {
  const uint32_t size = Payload.FirmwareSize;
  if (size > sizeof Payload.FirmwareImage) {
    line = "fwflash: the built-in firmware's size (" + std::to_string(size) +
           " bytes) is beyond its room: the program's block is damaged";
    return false;
  }
  char text[96];
  std::snprintf(text, sizeof text, ", firmware %u bytes, CRC-32 0x%08X", static_cast<unsigned>(size),
                Crc32(Payload.FirmwareImage, size));
  line = VersionName(programFile, std::string("fwflash ") + FWFLASH_VERSION) + text;
  return true;
}

// --max-baud's value: a rate from 1 to the highest protocol 2 knows.
bool ReadMaxBaud(const std::string& text, uint32_t& baud) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || text[0] == '-' || value == 0 || value > kDefaultMaxBaud) return false;
  baud = static_cast<uint32_t>(value);
  return true;
}

// The firmware this program carries, as far as its block holds it.
std::vector<uint8_t> CarriedFirmware() {
  const size_t size = std::min<size_t>(Payload.FirmwareSize, sizeof Payload.FirmwareImage);
  return std::vector<uint8_t>(Payload.FirmwareImage, Payload.FirmwareImage + size);
}

bool Parse(int argc, char** argv, DesktopOptions& options, std::string& protocol, std::string& key, bool& version,
           std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool path = arg == "--port" || arg == "--exclude" || arg == "--key",
               valued = arg == "--protocol" || arg == "--max-baud";
    if ((path || valued) && (i + 1 == argc || argv[i + 1][0] == '\0'))
      return error = arg + (path ? " needs a path" : " needs a value"), false;
    if (arg == "--version") {
      version = true;
    } else if (arg == "--port") {
      options.port = argv[++i];
    } else if (arg == "--exclude") {
      options.excludes.push_back(argv[++i]);
    } else if (arg == "--key") {
      key = argv[++i];
    } else if (arg == "--protocol") {
      protocol = argv[++i];
      if (!ParseProtocol(protocol, options.protocol, error)) return false;
    } else if (arg == "--max-baud") {
      if (!ReadMaxBaud(argv[++i], options.maxBaud))
        return error = "--max-baud takes a rate from 1 to " + std::to_string(kDefaultMaxBaud), false;
    } else {
      return error = (arg[0] == '-' ? "unknown option \"" : "unexpected argument \"") + arg + "\"",
             false;
    }
  }
  if (!options.excludes.empty() && options.port != "auto") return error = "--exclude needs --port auto", false;
  return true;
}

}  // namespace

bool ReadCommandLine(int argc, char** argv, const std::string& programFile, DesktopOptions& options,
                     int& exitCode) {
  const std::string title = TApplication::TitleFromProgramPath(programFile);
  bool version = false;
  std::string protocol, key, error, line;
  const std::vector<uint8_t> firmware = CarriedFirmware();
  if (!Parse(argc, argv, options, protocol, key, version, error) ||
      !ChooseProtocol(protocol, firmware.data(), firmware.size(), options.protocol, error)) {
    ShowNotice(title, "fwflash: " + error + "\n" + kUsage, true);
    exitCode = kBadCommandLine;
    return false;
  }
  if (!key.empty() && !CheckImageSignature(firmware, key, error)) {
    ShowNotice(title, "fwflash: " + error, true);
    exitCode = kBadCommandLine;
    return false;
  }
  if (!version) return true;
  const bool intact = VersionLine(programFile, line);
  ShowNotice(title, line, !intact);
  exitCode = intact ? kShown : kBadCommandLine;
  return false;
}
