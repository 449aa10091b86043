#include "program/command_line.h"

#include <cstdio>

#include "files/program_file.h"
#include "fwflash_version.h"
#include "payload/crc32.h"
#include "payload/payload_block.h"
#include "program/program_notice.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int kShown = 0, kBadCommandLine = 2;

const char kUsage[] = "usage: fwflash [--port PATH|auto [--exclude PATH]...] [--version]";

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

bool Parse(int argc, char** argv, std::string& port, std::vector<std::string>& excludes,
           bool& version, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--version") {
      version = true;
    } else if (arg == "--port") {
      if (i + 1 == argc || argv[i + 1][0] == '\0') return error = "--port needs a path", false;
      port = argv[++i];
    } else if (arg == "--exclude") {
      if (i + 1 == argc || argv[i + 1][0] == '\0') return error = "--exclude needs a path", false;
      excludes.push_back(argv[++i]);
    } else {
      return error = (arg[0] == '-' ? "unknown option \"" : "unexpected argument \"") + arg + "\"",
             false;
    }
  }
  if (!excludes.empty() && port != "auto") return error = "--exclude needs --port auto", false;
  return true;
}

}  // namespace

bool ReadCommandLine(int argc, char** argv, const std::string& programFile, std::string& port,
                     std::vector<std::string>& excludes, int& exitCode) {
  const std::string title = TApplication::TitleFromProgramPath(programFile);
  bool version = false;
  std::string error, line;
  if (!Parse(argc, argv, port, excludes, version, error)) {
    ShowNotice(title, "fwflash: " + error + "\n" + kUsage, true);
    exitCode = kBadCommandLine;
    return false;
  }
  if (!version) return true;
  const bool intact = VersionLine(programFile, line);
  ShowNotice(title, line, !intact);
  exitCode = intact ? kShown : kBadCommandLine;
  return false;
}
