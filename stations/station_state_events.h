// Every station's state for the line's dashboard: a StationEvents that passes each event
// on to the inner events unchanged, then has a StationStatePoster post what the station
// is doing to a state writer of its own for the store at target (a post never blocks):
//   waiting        before its first device (and after a port problem)
//   flashing       from a device's start, its percent at each 10 %, its serial number
//   passed/failed  the last device's result, with its serial, step and message, until
//                  the next device starts
//   port           a port problem, with its message
//   stopped        the station has ended
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "stations/port_labels.h"
#include "stations/station_fan_out.h"
#include "stations/station_result.h"
#include "records/station_state_writer.h"

class StationStatePoster : public QuietStationEvents {  // the dashboard shows no rate nor latency
 public:
  StationStatePoster(const std::string& target, std::string pc, uint32_t firmwareCrc32, PortLabels labels)
      : writer_(target), pc_(std::move(pc)), firmwareCrc32_(firmwareCrc32), labels_(std::move(labels)) {}

  void StationWaiting(const std::string& port) override;
  void DeviceStarted(const std::string& port, const std::optional<int64_t>& serial) override;
  void DeviceProgress(const std::string& port, uint32_t accepted, uint32_t size) override;
  void DeviceFinished(const StationResult& result) override;
  void PortProblem(const std::string& port, const std::string& message) override;
  void StationEnded(const std::string& port) override;

 private:
  // The station's state as last posted, changed by change; posted, with the station's
  // label and the time as its progress, when change says so.
  template <typename Change>
  void Update(const std::string& port, Change change);

  StationStateWriter writer_;
  const std::string pc_;
  const uint32_t firmwareCrc32_;
  const PortLabels labels_;
  std::mutex mutex_;  // stations tell from threads of their own
  std::map<std::string, StationState> states_;
};

class StationStateEvents : public StationFanOut {
 public:
  // The poster is only addressed here; the fan-out calls it once the station runs.
  StationStateEvents(StationEvents& inner, const std::string& target, std::string pc,
                     uint32_t firmwareCrc32, PortLabels labels)
      : StationFanOut({&inner, &poster_}), poster_(target, std::move(pc), firmwareCrc32, std::move(labels)) {}

 private:
  StationStatePoster poster_;
};
