// fwflash-vdev: the device of the firmware download, played on a pseudo-terminal, so
// that the program, its tests and its demonstration run without hardware. See --help
// and README.md.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "device/download_protocol.h"
#include "pseudo_terminal/line_pacer.h"
#include "pseudo_terminal/pseudo_terminal.h"
#include "pseudo_terminal/stop_signal.h"
#include "tools/vdev/conversation.h"
#include "tools/vdev/options.h"
#include "tools/vdev/random_faults.h"
#include "tools/vdev/report.h"

namespace {

constexpr int kExitExpected = 0, kExitNotExpected = 1, kExitBadStart = 2;

// Closing the terminal throws away what the program has not read yet, so a board that is
// unplugged after its conversation waits until the program has surely taken the last echo:
// until it closes the port, or this long.
constexpr auto kLastEchoGrace = std::chrono::milliseconds(200);

void Fail(const std::string& reason) { std::fprintf(stderr, "fwflash-vdev: %s\n", reason.c_str()); }

// Tools read the path from the first line, and again after a hang-up or a replug.
void AnnounceTerminal(const PseudoTerminal& terminal) {
  std::printf("%s\n", terminal.Path().c_str());
  std::fflush(stdout);
}

// Waits for the sync that opens a conversation, across opens and closes of the terminal.
// False when stopped or out of time.
bool AwaitSync(PseudoTerminal& terminal, LinePacer& pacer, Clock::time_point until) {
  for (;;) {
    if (!terminal.WaitForProgram(until)) return false;
    uint8_t byte;
    switch (terminal.ReadByte(byte, until)) {
      case ReadResult::Byte:
        if (byte == protocol::kSync) {
          pacer.Received();
          return true;
        }
        break;  // anything before the sync is not for the device
      case ReadResult::Closed: break;
      case ReadResult::TimedOut:
      case ReadResult::Stopped: return false;
    }
  }
}

// The program keeps the port open after a conversation; the device stays until it is closed.
void AwaitClose(PseudoTerminal& terminal, Clock::time_point until) {
  uint8_t ignored;
  while (terminal.ReadByte(ignored, until) == ReadResult::Byte) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    Fail(error);
    return kExitBadStart;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return kExitExpected;
  }

  BlockStopSignals();
  signal(SIGPIPE, SIG_IGN);  // a reader that stopped listening for new paths is no reason to die
  PseudoTerminal terminal;
  if (!terminal.Create(options.link, options.leftover, error)) {
    Fail(error);
    return kExitBadStart;
  }
  AnnounceTerminal(terminal);

  Clock::time_point until = options.timeoutSeconds == 0
                                ? Clock::time_point::max()
                                : Clock::now() + std::chrono::seconds(options.timeoutSeconds);
  LinePacer pacer(options.baudEmulation ? kCharacterNs9600 : 0);
  RandomFaults randomFaults(options.randomSeed, options.imageSize);
  int status = options.expecting ? kExitNotExpected : kExitExpected;
  int complete = 0;
  for (int number = 1; AwaitSync(terminal, pacer, until); ++number) {
    std::vector<Fault> faults = options.random ? randomFaults.Next() : options.faults;
    ConversationRecord record = ServeConversation(terminal, pacer, options, faults);
    if (record.ending == Ending::Complete) ++complete;
    ReportConversation(options, number, complete, record);
    if (options.replug && record.ending == Ending::Complete) {
      AwaitClose(terminal, std::min(until, Clock::now() + kLastEchoGrace));
      terminal.Unplug();
      auto replugAt = Clock::now() + std::chrono::milliseconds(options.replugMs);
      if (!PauseUntil(std::min(until, replugAt)) || Clock::now() >= until) break;
      if (!terminal.Replug(error)) {
        Fail(error);
        return kExitBadStart;
      }
      AnnounceTerminal(terminal);
    }
    if (record.ending == Ending::HangUp) {
      if (!terminal.HangUp(error)) {
        Fail(error);
        return kExitBadStart;
      }
      AnnounceTerminal(terminal);
    }
    if (options.expecting) {
      if (ConversationMatches(options, record)) status = kExitExpected;
      // After a hang-up the program's port is on the terminal that is gone.
      if (record.ending != Ending::HangUp) AwaitClose(terminal, until);
      break;
    }
    if (record.ending == Ending::Stopped) break;
  }
  terminal.Close();
  return status;
}
