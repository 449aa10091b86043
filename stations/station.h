// One station: a serial port and the devices that pass through it, one after the next.
// Each device gets the conversation the run chose (attempts/conversation.h); its
// failures become the desktop program's messages in the result. A USB adapter whose
// latency timer is high is told once.
//
//   RunStation(port, image, mode, records, stop, events)
//     without wait: flashes the device on the port once
//     with wait:    waits for a device (its port to appear and open, then a quiet
//                   opening about every half second, the sync, the probe or both as the
//                   run's protocol says, until it answers), flashes it, waits for
//                   it to go (the port hangs up, vanishes or names another device), and
//                   again, until count devices are done or the stop request is made
//                   With records, each device's attempt is written after its handshake
//                   (taking its serial number, which its image then carries) and
//                   completed before its result is told. With serial numbers a station
//                   takes a device only while the store answers, and none once the
//                   block of numbers is used up. Without wait, a station whose
//                   generator fails takes no device and ends with exit code 1; with
//                   wait it tries the generator again every 5 s
//   FlashAnswered(port, path, opening, image, mode, records, events)
//                   flashes the device that has just answered on the open port (the
//                   search of --port auto): the conversation goes on from its opening
//   StationTally    a station's passed and failed devices, and its exit code
#pragma once

#include <functional>
#include <string>

#include "attempts/attempt_books.h"
#include "attempts/conversation.h"
#include "attempts/firmware_image.h"
#include "device/serial_port.h"
#include "device/stop_request.h"
#include "stations/station_result.h"

struct StationMode {
  StationMode(bool waiting = false, unsigned devices = 0) : wait(waiting), count(devices) {}
  bool wait;
  unsigned count;  // with wait: devices before the station ends, 0 for no end
  // With wait, when set: asked as a device answers; false leaves that device unflashed
  // and ends the station (stations that count their devices together).
  std::function<bool()> claim;
  std::string missingPortHint;  // the hint for a port that is not there: how to list them
};

struct StationTally {
  std::string port;
  unsigned passed = 0, failed = 0;
  int exitCode = 0;
  bool blockExhausted = false;  // it stopped for want of serial numbers
};

StationTally RunStation(const std::string& port, const FirmwareImage& image, StationMode mode,
                        const StationRecords& records, StopRequest& stop, StationEvents& events);
StationTally FlashAnswered(OwnedPort port, const std::string& path, const Opening& opening,
                           const FirmwareImage& image, const StationMode& mode, const StationRecords& records,
                           StationEvents& events);
