// fwflash-boot-sim: the bootloader core on Linux, for tests and for vendors to try the
// conversation without a board. Prints the state found at every reset as a JSON line.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <vector>

#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_counter.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/crypto/fwboot_keyed.h"
#include "bootloader/ports/fwboot_report.h"
#include "bootloader/ports/host/host_port.h"
#include "pseudo_terminal/stop_signal.h"

namespace {

struct SimOptions {
  std::string link;
  std::vector<std::string> keys;
  FlashSettings flash;
  UartSettings uart;
  LineSettings line;
  uint16_t windowMs = 500;
  unsigned charUs = 0;
  int protocol = 2;
  bool reset = false;
};

bool Parse(int argc, char** argv, SimOptions& options, int& exitCode) {
  CLI::App app("fwflash-boot-sim: the reference bootloader on a pseudo-terminal, its flash a file",
               "fwflash-boot-sim");
  app.add_option("--link", options.link, "make PATH a symbolic link to the device's terminal")
      ->type_name("PATH")->required();
  app.add_option("--flash", options.flash.path, "the flash: the application area, made erased when new")
      ->type_name("FILE")->required();
  app.add_option("--page-size", options.flash.pageSize, "bytes per flash page (default 256)")
      ->check(CLI::Range(16, 4096));
  app.add_option("--pages", options.flash.pages,
                 "pages in the application area, the last holding the valid record (default 64)")
      ->check(CLI::Range(2, 65536));
  app.add_option("--key", options.keys,
                 "a public key the bootloader takes signed images of (NAME.pub, at most two); "
                 "without, it takes unsigned images. The security counter's two pages stand "
                 "below the record's")
      ->type_name("NAME.pub");
  app.add_option("--window-ms", options.windowMs,
                 "how long a valid application waits for a sync after a reset (default 500)");
  app.add_option("--cut-after", options.flash.cutAfter,
                 "the power goes after N flash operations (erases and writes), in the middle "
                 "of the next one; exit status 3")
      ->type_name("N")->check(CLI::NonNegativeNumber);
  app.add_option("--worn-page", options.flash.wornPage,
                 "page N of the area no longer erases (a flash worn out): the read-back fails")
      ->type_name("N")->check(CLI::NonNegativeNumber);
  CLI::Option* charUs = app.add_option(
      "--char-us", options.charUs,
      "line time of each character sent and received, in microseconds (1042: 9600 baud), at every rate");
  app.add_flag("--pace", options.line.pace, "each character takes its line time at the rate in force")
      ->excludes(charUs);
  app.add_option("--protocol", options.protocol,
                 "1: only the byte-for-byte protocol (the probe is noise); 2: both (default)")
      ->check(CLI::IsMember({1, 2}));
  app.add_option("--max-baud", options.uart.maxBaud, "the highest rate announced (default 2000000)")
      ->type_name("N");
  app.add_option("--frames", options.uart.framesInFlight, "frames in flight announced (default 4)")
      ->type_name("N")->check(CLI::Range(1, 255));
  app.add_option("--latency-ms", options.line.latencyMs,
                 "a USB adapter's latency timer on what the device sends: held until N ms after "
                 "the first held byte, or 62 bytes")
      ->type_name("N")->check(CLI::Range(0, 255));
  app.add_option("--page-ms", options.flash.pageMs,
                 "how long a page's erase and write take together, the line receiving meanwhile")
      ->type_name("MS")->check(CLI::Range(0.0, 1000.0));
  app.add_option("--bad-frame", options.line.badFrame, "the N-th DATA frame arrives with one byte changed")
      ->type_name("N")->check(CLI::PositiveNumber);
  app.add_option("--lost-ack", options.line.lostAck, "the N-th ACK sent for a DATA frame is lost")
      ->type_name("N")->check(CLI::PositiveNumber);
  app.add_flag("--lost-check-ack", options.line.lostCheckAck,
               "the ACK of the first CHECK is lost: the host goes back to 9600, the device does not know");
  app.add_option("--deaf-baud", options.line.deafBaud,
                 "announces and agrees rate N but hears nothing at it")
      ->type_name("N");
  app.add_flag("--reset", options.reset,
               "reset when the application starts, instead of running it until stopped");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    exitCode = app.exit(error) == 0 ? 0 : kExitBadStart;
    return false;
  }
  return true;
}

void PrintState() {
  fwboot_state state;
  char text[FWBOOT_STATE_TEXT_SIZE];
  fwboot_check(&state);
  if (fwboot_key_count() == 0) {
    fwboot_state_text(&state, text);
  } else {
    fwboot_keyed_state_text(&state, fwboot_installed_version(), fwboot_counter_read(), text);
  }
  std::printf("%s\n", text);
  std::fflush(stdout);
}

// The application runs until the simulation is stopped; it does not listen for syncs.
[[noreturn]] void RunApplication() {
  uint8_t ignored;
  for (;;) fwboot_uart_get(&ignored, 60000);
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  int exitCode = 0;
  if (!Parse(argc, argv, options, exitCode)) return exitCode;

  BlockStopSignals();
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  PseudoTerminal terminal;
  if (!LoadKeys(options.keys, options.flash, error) || !OpenFlash(options.flash, error) ||
      !terminal.Create(options.link, {}, error)) {
    std::fprintf(stderr, "fwflash-boot-sim: %s\n", error.c_str());
    return kExitBadStart;
  }
  options.line.characterNs = options.charUs * 1000LL;
  HostLine line(terminal, options.line);
  AttachUart(line, options.uart);
  line.Start();
  const fwboot_protocols protocols = options.protocol == 1 ? FWBOOT_PROTOCOL_1 : FWBOOT_PROTOCOLS_1_AND_2;
  std::vector<uint8_t> pageBuffer(options.flash.pageSize);
  for (;;) {  // every pass is a reset
    line.Reset();
    PrintState();
    if (fwboot_run(pageBuffer.data(), options.windowMs, protocols) != FWBOOT_START) continue;
    fwboot_start_application();
    if (!options.reset) RunApplication();
  }
}
