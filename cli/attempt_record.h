// A station's records of its devices, one attempt after the other, when the run keeps
// records.
//
//   StationRecords              what a station needs for its records: the keeper, the
//                               place of each device's serial number (if any), the PC and
//                               the product
//   AttemptBooks(records, image)
//     MayTakeDevice(stop)       whether the station may take a device now: with serial
//                               numbers only while numbers are left, waiting while the
//                               store does not answer (false when stopped)
//     Begin(port)               writes the attempt after the device's handshake: its id,
//                               its start, failed with step "interrupted" until it ends;
//                               with serial numbers it takes the device's number
//     Image()                   the image this device gets: the base image, or the base
//                               image with the device's number in it
//     Serial()                  the device's number, if it has one
//     Complete(result)          completes the attempt as the result ended it; committed
//                               (to the store or the spool) when it returns
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/firmware_source.h"
#include "cli/station_result.h"
#include "device/stop_request.h"
#include "records/device_record.h"
#include "records/record_keeper.h"
#include "serials/serial_image.h"

struct StationRecords {
  RecordKeeper* keeper = nullptr;         // null: the run keeps no records
  std::optional<SerialPlacement> serial;  // where each device's number goes
  std::string pc, product;
};

class AttemptBooks {
 public:
  AttemptBooks(const StationRecords& records, const FirmwareImage& image);

  bool MayTakeDevice(const StopRequest& stop);
  BeginResult Begin(const std::string& port);
  const std::vector<uint8_t>& Image() const { return record_.serial ? stamped_ : image_.bytes; }
  std::optional<int64_t> Serial() const { return record_.serial; }
  void Complete(const StationResult& result);

 private:
  const StationRecords& records_;
  const FirmwareImage& image_;
  std::unique_ptr<KeeperSession> session_;
  DeviceRecord record_;
  std::vector<uint8_t> stamped_;
};
