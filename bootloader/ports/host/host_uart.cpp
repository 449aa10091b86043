// The UART seam on a pseudo-terminal. A SIGTERM or SIGINT ends the simulation during a
// wait: the core knows no end, as a device knows none.
#include <cstdlib>

#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/host/host_port.h"
#include "pseudo_terminal/stop_signal.h"

namespace {
PseudoTerminal* terminal_ = nullptr;
LinePacer* pacer_ = nullptr;

[[noreturn]] void Stop() {
  terminal_->Close();  // removes the link
  std::exit(kExitStopped);
}
}  // namespace

void AttachUart(PseudoTerminal& terminal, LinePacer& pacer) {
  terminal_ = &terminal;
  pacer_ = &pacer;
}

// With no program at the other end the byte is lost on the line, as on a real one: a
// terminal would keep it for the next program to open it.
void fwboot_uart_put(uint8_t byte) {
  pacer_->BeforeSend();
  if (terminal_->WaitForProgram(Clock::now())) terminal_->WriteByte(byte);
}

int fwboot_uart_get(uint8_t* byte, uint16_t timeout_ms) {
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    switch (terminal_->ReadByte(*byte, until)) {
      case ReadResult::Byte: pacer_->Received(); return 1;
      case ReadResult::TimedOut: return 0;
      case ReadResult::Stopped: Stop();
      case ReadResult::Closed:  // no program holds the line: nothing can come until one does
        if (terminal_->WaitForProgram(until)) break;
        if (StopRequested()) Stop();
        return 0;
    }
  }
}
