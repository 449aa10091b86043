#include "stations/auto_stations.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <list>
#include <thread>

#include "ports/answering_ports.h"
#include "ports/auto_ports.h"
#include "ports/port_identity.h"
#include "stations/station_fan_out.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kListInterval = std::chrono::milliseconds(500);  // new USB ports
constexpr auto kWatchInterval = std::chrono::milliseconds(20);  // the stop request, the count

struct AutoStation {
  std::string path;
  StationTally tally;
  std::thread thread;
};

std::vector<StationTally> JoinAll(std::list<AutoStation>& stations) {
  std::vector<StationTally> tallies;
  for (AutoStation& station : stations) {
    station.thread.join();
    tallies.push_back(station.tally);
  }
  return tallies;
}

// The candidates as they are now; a port list that cannot be read is told, and leaves none.
std::vector<std::string> Candidates(const AutoSearch& search, AutoSearchEvents& searchEvents) {
  std::vector<std::string> candidates;
  std::string error;
  if (!AutoPortCandidates(search.excludes, candidates, error)) searchEvents.PortsUnlisted(error);
  return candidates;
}

std::vector<StationTally> FlashAnswering(const AutoSearch& search, const FirmwareImage& image,
                                         const StationRecords& records, StopRequest& stop,
                                         StationEvents& events, AutoSearchEvents& searchEvents) {
  const std::vector<std::string> candidates = Candidates(search, searchEvents);
  std::vector<AnsweringPort> answered = FindAnsweringPorts(candidates, image.protocol != Protocol::One,
                                                           image.protocol != Protocol::Two, &stop, false);
  if (answered.empty()) {
    searchEvents.NoDeviceAnswered(candidates, image.protocol == Protocol::Two ? "probe" : "sync");
    return {};
  }
  std::list<AutoStation> stations;
  for (AnsweringPort& found : answered) {
    stations.push_back({found.path, {}, {}});
    AutoStation& station = stations.back();
    Opening opening;
    opening.framed = found.framed;
    opening.caps = found.caps;
    station.thread = std::thread([&station, &image, &search, &records, &events, opening,
                                  port = std::move(found.port)]() mutable {
      station.tally = FlashAnswered(std::move(port), station.path, opening, image, search.mode, records, events);
    });
  }
  return JoinAll(stations);
}

// Counts the devices of all stations together: a device is claimed as it answers, and
// the stations end once every claimed device is done and no more may be.
class SharedCount : public QuietStationEvents {
 public:
  explicit SharedCount(unsigned limit) : limit_(limit) {}
  bool Claim() { return limit_ == 0 || claimed_.fetch_add(1) < limit_; }
  bool Done() const { return limit_ != 0 && finished_.load() >= limit_; }

  void DeviceFinished(const StationResult&) override { ++finished_; }

 private:
  const unsigned limit_;
  std::atomic<unsigned> claimed_{0}, finished_{0};
};

std::vector<StationTally> WaitOnEveryCandidate(const AutoSearch& search, const FirmwareImage& image,
                                               const StationRecords& records, StopRequest& stop,
                                               StationEvents& events, AutoSearchEvents& searchEvents) {
  SharedCount counted(search.mode.count);
  StationFanOut told({&events, &counted});  // the count after the events have heard
  // The stations' own stop: the signal's, or the count reached.
  StopRequest ended;
  StationMode mode = search.mode;
  mode.count = 0;  // counted together instead
  mode.claim = [&counted] { return counted.Claim(); };
  std::list<AutoStation> stations;
  Clock::time_point listed = Clock::now() - kListInterval;
  while (!stop.Requested() && !counted.Done()) {
    if (Clock::now() - listed >= kListInterval) {
      listed = Clock::now();
      for (const std::string& path : Candidates(search, searchEvents)) {
        const bool served = std::any_of(stations.begin(), stations.end(), [&](const AutoStation& station) {
          return SamePort(station.path, path);
        });
        if (served) continue;
        stations.push_back({path, {}, {}});
        AutoStation& station = stations.back();
        station.thread = std::thread([&station, &image, &mode, &records, &ended, &told] {
          station.tally = RunStation(station.path, image, mode, records, ended, told);
        });
      }
    }
    std::this_thread::sleep_for(kWatchInterval);
  }
  ended.Request();
  return JoinAll(stations);
}

}  // namespace

std::vector<StationTally> FlashAuto(const AutoSearch& search, const FirmwareImage& image,
                                    const StationRecords& records, StopRequest& stop,
                                    StationEvents& events, AutoSearchEvents& searchEvents) {
  return search.mode.wait ? WaitOnEveryCandidate(search, image, records, stop, events, searchEvents)
                          : FlashAnswering(search, image, records, stop, events, searchEvents);
}
