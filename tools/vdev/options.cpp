#include "tools/vdev/options.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "payload/payload_block.h"

const char kUsage[] =
    "Usage: fwflash-vdev [OPTION]...\n"
    "Plays the device side of the firmware download on a pseudo-terminal and prints the\n"
    "terminal's path on the first line of standard output (a new line after a hang-up or\n"
    "a replug).\n"
    "Point the program at it with FWFLASH_COM1=PATH.\n"
    "\n"
    "  --link PATH        make PATH a symbolic link to the terminal (removed at exit)\n"
    "  --expect FILE      serve one conversation and exit 0 only when it delivered exactly\n"
    "                     FILE's bytes and both end rounds; the exit waits until the port\n"
    "                     is closed. Without it conversations are served until SIGTERM/SIGINT\n"
    "  --size N           data bytes the device asks for (default: FILE's size with\n"
    "                     --expect, else the program's built-in image)\n"
    "  --report FILE      after each conversation write what was received to FILE, with\n"
    "                     the count of complete conversations so far\n"
    "  --data PREFIX      after each conversation write the data bytes received to\n"
    "                     PREFIX-N.bin (N counts conversations from 1), before the report\n"
    "  --baud-emulation   take 9600-baud line time (10 bits, 1.0417 ms) for every character\n"
    "                     sent and received\n"
    "  --idle-ms MS       give up a conversation when the program does not answer a request\n"
    "                     within MS milliseconds (default 3000)\n"
    "  --sync-delay-ms MS acknowledge the sync MS milliseconds after it arrived (default 0),\n"
    "                     as a device that answers late; the requests follow at once\n"
    "  --timeout SEC      stop after SEC seconds (default: never); with --expect the status\n"
    "                     is 1 then, unless the conversation was already as expected\n"
    "  --quiet            no line per conversation on standard error\n"
    "  --fault FAULT      play a fault (repeatable); the device then ends its side of the\n"
    "                     conversation there, except for sync faults:\n"
    "                       sync=none|BYTE        no or another answer to 0xA5 (the requests\n"
    "                                             follow, after 250 ms when none was given)\n"
    "                       request@K=none|BYTE   no or another request for data byte K\n"
    "                       echo@K=none|BYTE      no or another echo of data byte K\n"
    "                       end-request@R=none|BYTE   the same for end round R (1 or 2)\n"
    "                       end-echo@R=none|BYTE\n"
    "                       hang-up@K             vanish after data byte K arrived: the\n"
    "                                             terminal closes, a new one takes its place\n"
    "                     Without =... the right byte is sent with every bit inverted.\n"
    "  --random SEED      play a fault drawn for each conversation instead (not with\n"
    "                     --fault): one conversation in 8 has none, 1 a sync fault, 4 one at\n"
    "                     a data byte drawn from all, 2 one in an end round; a quarter of them\n"
    "                     silent, the others a random wrong byte. The same for the same SEED\n"
    "                     (a whole number) and --size\n"
    "  --replug MS        after each complete conversation be unplugged and plugged in again:\n"
    "                     when the program has closed the port (or 200 ms after the last\n"
    "                     echo) the link goes and the terminal hangs up; MS milliseconds\n"
    "                     later a new terminal comes, its path printed and linked (not\n"
    "                     with --expect)\n"
    "  --leftover HEX     bytes (hex pairs, e.g. 5A80) that wait in the terminal for the\n"
    "                     program before it first opens it, as a board cut off in\n"
    "                     mid-conversation leaves them\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 as expected (or stopped when serving), 1 otherwise, 2 bad options or\n"
    "no pseudo-terminal.\n";

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool ParseUnsigned(const char* text, unsigned long long& value, unsigned long long limit = UINT32_MAX) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return *text != '\0' && *text != '-' && *end == '\0' && errno == 0 && value <= limit;
}

// Hex pairs, at least one: "5A80" is 0x5A, 0x80.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.empty() || text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const std::string pair = text.substr(i, 2);
    char* end = nullptr;
    const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
    if (*end != '\0' || pair[0] == '-' || pair[0] == '+' || pair[0] == ' ') return false;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  bool sizeGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help") {
      options.help = true;
      continue;
    }
    if (option == "--baud-emulation") {
      options.baudEmulation = true;
      continue;
    }
    if (option == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (i + 1 == argc) {
      error = option + " needs a value, or is unknown (see --help)";
      return false;
    }
    const char* value = argv[++i];
    unsigned long long number = 0;
    bool numeric = ParseUnsigned(value, number);
    if (option == "--link") {
      options.link = value;
    } else if (option == "--expect") {
      options.expecting = true;
      if (!ReadFile(value, options.expected)) {
        error = std::string("cannot read ") + value;
        return false;
      }
    } else if (option == "--size" && numeric) {
      options.imageSize = static_cast<uint32_t>(number);
      sizeGiven = true;
    } else if (option == "--report") {
      options.reportFile = value;
    } else if (option == "--data") {
      options.dataPrefix = value;
    } else if (option == "--idle-ms" && numeric) {
      options.idleMs = static_cast<unsigned>(number);
    } else if (option == "--sync-delay-ms" && numeric) {
      options.syncDelayMs = static_cast<unsigned>(number);
    } else if (option == "--timeout" && numeric) {
      options.timeoutSeconds = static_cast<unsigned>(number);
    } else if (option == "--fault") {
      Fault fault;
      if (!ParseFault(value, fault)) {
        error = std::string("not a fault: ") + value;
        return false;
      }
      options.faults.push_back(fault);
    } else if (option == "--replug" && numeric) {
      options.replug = true;
      options.replugMs = static_cast<unsigned>(number);
    } else if (option == "--leftover") {
      if (!ParseHexBytes(value, options.leftover)) {
        error = std::string("--leftover takes hex pairs such as 5A80, not ") + value;
        return false;
      }
    } else if (option == "--random" && ParseUnsigned(value, number, UINT64_MAX)) {
      options.random = true;
      options.randomSeed = number;
    } else {
      error = option + " " + value + ": unknown option or bad value (see --help)";
      return false;
    }
  }
  if (options.random && !options.faults.empty()) {
    error = "--random and --fault do not go together";
    return false;
  }
  if (options.replug && options.expecting) {
    error = "--replug and --expect do not go together: --expect serves one conversation";
    return false;
  }
  if (!sizeGiven) {
    options.imageSize = options.expecting ? static_cast<uint32_t>(options.expected.size())
                                          : Payload.FirmwareSize;
  }
  return true;
}
