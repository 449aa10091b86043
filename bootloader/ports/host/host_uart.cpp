// The UART seam on the simulation's line (host_line.h). It takes every rate of the second
// protocol up to --max-baud; a SIGTERM or SIGINT ends the simulation during a wait: the
// core knows no end, as a device knows none.
#include "bootloader/core/fwboot_frames.h"
#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/host/host_port.h"

namespace {
HostLine* line_ = nullptr;
UartSettings settings_;
}  // namespace

void AttachUart(HostLine& line, const UartSettings& settings) {
  line_ = &line;
  settings_ = settings;
}

void fwboot_uart_put(uint8_t byte) { line_->Put(byte); }

int fwboot_uart_get(uint8_t* byte, uint16_t timeout_ms) { return line_->Get(*byte, timeout_ms); }

uint8_t fwboot_uart_rates(void) {
  uint8_t rates = 0;
  for (uint8_t i = 0; i < FWBOOT_RATE_COUNT; ++i) {
    if (fwboot_rate_baud(i) <= settings_.maxBaud) rates |= static_cast<uint8_t>(1u << i);
  }
  return rates;
}

void fwboot_uart_set_rate(uint8_t rate) { line_->SetRate(fwboot_rate_baud(rate)); }

uint8_t fwboot_uart_frames(void) { return settings_.framesInFlight; }
