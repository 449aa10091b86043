// A station's records of its devices, one attempt after the other, when the run keeps
// records.
//
//   StationRecords              what a station needs for its records: the keeper, the
//                               place of each device's serial number (if any), the PC and
//                               the product
//   AttemptBooks(records, image, port, retryGenerators)
//     MayTakeDevice(stop)       whether the station may take a device now: with serial
//                               numbers only while numbers are left, waiting while the
//                               store does not answer; with generators once each has
//                               an output ready for it (false when stopped)
//     PrepareAhead(stop)        runs the generators for the next device now, while the
//                               station waits for it. A failed one is tried again every
//                               5 s with retryGenerators (a station that waits for its
//                               devices), else it is false at once: a one-shot run
//                               takes no device without its values (false when stopped)
//     GeneratorFailing()        a generator's last run failed: the station ends with
//                               exit code 1, whether it gave up or was stopped
//     Begin(port)               writes the attempt after the device's handshake: its id,
//                               its start, failed with step "interrupted" until it ends;
//                               with fields it takes the device's values (its serial
//                               number, counters, list items); Problem() says why not
//     Image()                   the image this device gets: the base image, or the base
//                               image with the device's values in it
//     Serial()                  the device's number, if it has one
//     Complete(outcome)         completes the attempt as the device's flash ended it;
//                               committed (to the store or the spool) when it returns
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "attempts/firmware_image.h"
#include "device/stop_request.h"
#include "records/device_record.h"
#include "records/record_keeper.h"
#include "jobs/generated_values.h"
#include "jobs/job_file.h"

// A station's generator that failed: told once until it works again.
class GeneratorEvents {
 public:
  // retrying: the station tries it again every 5 s; else it takes no device.
  virtual void GeneratorFailed(const std::string& port, const std::string& message, bool retrying) = 0;

 protected:
  ~GeneratorEvents() = default;
};

// How a device's flash ended, as its record keeps it.
struct AttemptOutcome {
  bool ok = false;
  std::string step;              // where a failure stopped it
  uint32_t byte = 0;             // the byte it stopped at, 0 when it passed
  uint32_t bytes = 0;            // data bytes the device accepted
  double seconds = 0;
  bool syncAcknowledged = false;
  std::vector<std::string> messages;
  uint8_t protocol = 1;          // the conversation the image went in
  uint32_t baud = 9600;          // the rate it went at
};

struct StationRecords {
  RecordKeeper* keeper = nullptr;         // null: the run keeps no records
  std::vector<JobField> fields;           // each device's own values (--serial-at's serial)
  std::string pc, product;
  std::string jobSha256;                  // empty without a job
  const JobFile* job = nullptr;           // its generators, run for each device
  GeneratorEvents* generatorEvents = nullptr;
  std::atomic<uint64_t>* unusedOutputs = nullptr;  // generated outputs never sent
};

class AttemptBooks {
 public:
  AttemptBooks(const StationRecords& records, const FirmwareImage& image, const std::string& port,
               bool retryGenerators);
  ~AttemptBooks();

  bool MayTakeDevice(const StopRequest& stop);
  bool PrepareAhead(const StopRequest& stop);
  BeginResult Begin(const std::string& port);
  const std::vector<uint8_t>& Image() const { return records_.fields.empty() ? image_.bytes : stamped_; }
  std::optional<int64_t> Serial() const { return record_.serial; }
  void Complete(const AttemptOutcome& outcome);
  const std::string& Problem() const { return problem_; }  // why Begin failed, when it did
  bool GeneratorFailing() const { return generatorFailing_; }

 private:
  const StationRecords& records_;
  const FirmwareImage& image_;
  std::unique_ptr<KeeperSession> session_;
  DeviceRecord record_;
  std::vector<uint8_t> stamped_;
  std::string problem_;
  std::string port_;
  std::unique_ptr<StationGenerators> generators_;  // null without generators
  bool retryGenerators_;
  bool generatorFailing_ = false;
};
