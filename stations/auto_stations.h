// --port auto: the stations are the candidates whose device answers.
//
//   AutoSearch        the candidates' exclusions, and the stations' mode: with wait, how
//                     many devices end them all, counted together
//   AutoSearchEvents  what the search tells besides the stations' own events: a port list
//                     that cannot be read (it leaves no candidates), and no device
//                     answering the sync (or the probe)
//   FlashAuto(search, image, records, stop, events, searchEvents)
//     without wait: every candidate that opens and is not in use gets the sync (or the
//                   probe, or under auto the probe and then the sync) at the same
//                   moment (ports/answering_ports.h); each whose device answers becomes
//                   a station that flashes its device. With none, searchEvents hears it
//     with wait:    a station on every candidate, present or plugged in later (the list
//                   is looked at again every half second); a count N ends them all once
//                   N devices, counted together, are done
//   Returns the stations' tallies.
#pragma once

#include <string>
#include <vector>

#include "stations/station.h"

struct AutoSearch {
  std::vector<std::string> excludes;
  StationMode mode;  // its claim is the search's own
};

class AutoSearchEvents {
 public:
  virtual void PortsUnlisted(const std::string& error) = 0;
  // opening: "sync" or "probe", what the candidates were sent
  virtual void NoDeviceAnswered(const std::vector<std::string>& candidates, const char* opening) = 0;

 protected:
  ~AutoSearchEvents() = default;
};

std::vector<StationTally> FlashAuto(const AutoSearch& search, const FirmwareImage& image,
                                    const StationRecords& records, StopRequest& stop,
                                    StationEvents& events, AutoSearchEvents& searchEvents);
