// fwflash-boot-sim: the bootloader core on Linux, for tests and for vendors to try the
// conversation without a board. Prints the state found at every reset as a JSON line.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <vector>

#include "bootloader/core/fwboot.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "bootloader/ports/host/host_port.h"
#include "pseudo_terminal/stop_signal.h"

namespace {

struct SimOptions {
  std::string link;
  FlashSettings flash;
  uint16_t windowMs = 500;
  unsigned charUs = 0;
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
  app.add_option("--window-ms", options.windowMs,
                 "how long a valid application waits for a sync after a reset (default 500)");
  app.add_option("--cut-after", options.flash.cutAfter,
                 "the power goes after N flash operations (erases and writes), in the middle "
                 "of the next one; exit status 3")
      ->type_name("N")->check(CLI::NonNegativeNumber);
  app.add_option("--worn-page", options.flash.wornPage,
                 "page N of the area no longer erases (a flash worn out): the read-back fails")
      ->type_name("N")->check(CLI::NonNegativeNumber);
  app.add_option("--char-us", options.charUs,
                 "line time of each character sent and received, in microseconds (1042: 9600 baud)");
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
  fwboot_state_text(&state, text);
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
  if (!OpenFlash(options.flash, error) || !terminal.Create(options.link, {}, error)) {
    std::fprintf(stderr, "fwflash-boot-sim: %s\n", error.c_str());
    return kExitBadStart;
  }
  LinePacer pacer(options.charUs * 1000LL);
  AttachUart(terminal, pacer);
  std::vector<uint8_t> pageBuffer(options.flash.pageSize);
  for (;;) {  // every pass is a reset
    PrintState();
    if (fwboot_run(pageBuffer.data(), options.windowMs) != FWBOOT_START) continue;
    fwboot_start_application();
    if (!options.reset) RunApplication();
  }
}
