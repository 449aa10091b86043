#include "stations/station_fan_out.h"

void StationFanOut::StationWaiting(const std::string& port) {
  for (StationEvents* listener : listeners_) listener->StationWaiting(port);
}

void StationFanOut::DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) {
  for (StationEvents* listener : listeners_) listener->DeviceStarted(port, serial);
}

void StationFanOut::DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) {
  for (StationEvents* listener : listeners_) listener->DeviceProgress(port, accepted, size);
}

void StationFanOut::DeviceFinished(const StationResult& result) {
  for (StationEvents* listener : listeners_) listener->DeviceFinished(result);
}

void StationFanOut::PortProblem(const std::string& port, const std::string& message) {
  for (StationEvents* listener : listeners_) listener->PortProblem(port, message);
}

void StationFanOut::StationEnded(const std::string& port) {
  for (StationEvents* listener : listeners_) listener->StationEnded(port);
}

void StationFanOut::RateChanged(const std::string& port, uint32_t from, uint32_t to, bool taken) {
  for (StationEvents* listener : listeners_) listener->RateChanged(port, from, to, taken);
}

void StationFanOut::PortLatency(const std::string& port, int milliseconds, const std::string& notice) {
  for (StationEvents* listener : listeners_) listener->PortLatency(port, milliseconds, notice);
}
