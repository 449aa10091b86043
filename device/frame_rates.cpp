#include "device/frame_rates.h"

using namespace frames;

namespace {

constexpr unsigned kBaudAnswerMs = 500;   // ACK(r) at 9600: a dozen bytes, and an adapter's delay
constexpr unsigned kCheckAnswerMs = 300;  // ACK(r) at the new rate
constexpr unsigned kSettleMs = 600;       // after the BAUD's ACK: the device is back at 9600
constexpr int kFailedRatesAllowed = 2;

// Whether the port keeps the rate: set, read back, and put back to 9600.
bool PortTakes(SerialPort* port, uint32_t baud) {
  const bool takes = SetPortRate(port, baud);
  SetPortRate(port, kBaseRate);
  return takes;
}

// One proposal: taken when the device hears the check at the new rate. Otherwise both
// sides are back at 9600 when it returns.
bool TryRate(FrameLink& link, uint32_t baud, bool& taken) {
  taken = false;
  bool agreed = false;
  if (!link.Send(kBaud, baud) || !link.AwaitAck(baud, kBaudAnswerMs, agreed)) return false;
  const FrameLink::Clock::time_point settled = After(kSettleMs);
  if (agreed && SetPortRate(link.Port(), baud)) {
    if (!link.Send(kCheck, baud) || !link.AwaitAck(baud, kCheckAnswerMs, taken)) return false;
    if (taken) return true;
  }
  SetPortRate(link.Port(), kBaseRate);
  return link.Idle(settled);
}

}  // namespace

bool AgreeRate(FrameLink& link, const DeviceCapabilities& caps, const FrameSettings& settings,
               RateEvents& events, uint32_t& baud) {
  baud = kBaseRate;
  int failed = 0;
  for (int i = 7; i >= 0 && failed < kFailedRatesAllowed; --i) {
    const uint32_t rate = kRates[i];
    if (!(caps.rates & (1u << i)) || rate > settings.maxBaud || !PortTakes(link.Port(), rate)) continue;
    bool taken = false;
    if (!TryRate(link, rate, taken)) return false;
    events.RateChanged(kBaseRate, rate, taken);
    if (taken) {
      baud = rate;
      return true;
    }
    ++failed;
  }
  return true;
}
