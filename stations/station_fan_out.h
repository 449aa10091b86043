// One station's events told to several listeners:
//   StationFanOut        passes each event on to every listener, in the order given
//   QuietStationEvents   hears nothing: the base of a listener that wants only some events
// A listener is told from the stations' threads, as a StationEvents is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stations/station_result.h"

class StationFanOut : public StationEvents {
 public:
  explicit StationFanOut(std::vector<StationEvents*> listeners) : listeners_(std::move(listeners)) {}

  void StationWaiting(const std::string& port) override;
  void DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) override;
  void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) override;
  void DeviceFinished(const StationResult& result) override;
  void PortProblem(const std::string& port, const std::string& message) override;
  void StationEnded(const std::string& port) override;
  void RateChanged(const std::string& port, uint32_t from, uint32_t to, bool taken) override;
  void PortLatency(const std::string& port, int milliseconds, const std::string& notice) override;

 private:
  const std::vector<StationEvents*> listeners_;
};

class QuietStationEvents : public StationEvents {
 public:
  void StationWaiting(const std::string&) override {}
  void DeviceStarted(const std::string&, const std::optional<int64_t>&) override {}
  void DeviceProgress(const std::string&, uint32_t, uint32_t) override {}
  void DeviceFinished(const StationResult&) override {}
  void PortProblem(const std::string&, const std::string&) override {}
  void StationEnded(const std::string&) override {}
  void RateChanged(const std::string&, uint32_t, uint32_t, bool) override {}
  void PortLatency(const std::string&, int, const std::string&) override {}

 protected:
  ~QuietStationEvents() = default;
};
