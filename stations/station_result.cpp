#include "stations/station_result.h"

#include "stations/exit_codes.h"

int ExitCodeOf(const StationResult& result) {
  if (result.ok) return kExitAllFlashed;
  return result.portUsable ? kExitDeviceFailed : kExitPortUnusable;
}

uint32_t StoppedAtByte(const StationResult& result) {
  if (!result.portUsable) return 0;
  return result.accepted < result.size ? result.accepted + 1 : result.size;
}

std::string JoinedMessages(const std::vector<std::string>& messages) {
  std::string joined;
  for (const std::string& message : messages) joined += (joined.empty() ? "" : " / ") + message;
  return joined;
}

unsigned Tenths(uint32_t accepted, uint32_t size) {
  return static_cast<unsigned>(uint64_t{accepted} * 10 / size);
}
