// One device attempt as the record store keeps it, and the questions asked of the store.
//
//   DeviceRecord   one attempt: who, where, which firmware, which serial, how it ended
//   RecordQuery    which records: a start range [since, until), failures only, a serial,
//                  a limit, and the order
//   RecordSummary  the counts a report and the dashboard show: in all, per product and
//                  base firmware, per PC and station, failures per step, per hour, and
//                  the serial numbers used
//
// Times are milliseconds since 1970-01-01 UTC. A record is written as failed with step
// "interrupted" when its device's transfer starts, and completed when the device ends.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "secrets/secret.h"

constexpr char kInterruptedStep[] = "interrupted";

// A field's value for one device, in its list syntax (a counter's as a decimal).
struct DrawnValue {
  std::string field;
  Secret value;
  std::string list;          // the list it came from; empty for a counter or a generator
  int64_t left = 0, items = 0;  // from a list: the items left after this one, and in all
};

struct DeviceRecord {
  std::string id;                  // UUID version 4, lower case
  int64_t startMs = 0;
  std::optional<int64_t> endMs;    // none while the attempt is interrupted
  std::string pc;                  // host name, or --pc
  std::string port;                // as given to --port
  std::string product;
  std::string fwflashVersion;
  uint32_t firmwareSize = 0;       // the base image
  uint32_t firmwareCrc32 = 0;      // the base image
  uint32_t imageCrc32 = 0;         // the image as sent (with its serial number)
  std::optional<int64_t> serial;   // 0 to 2^63-1
  bool ok = false;
  std::string step = kInterruptedStep;  // where a failure stopped; empty when ok
  uint32_t byte = 0;               // the byte where it stopped; 0 when ok
  uint32_t bytes = 0;              // data bytes the device accepted
  double seconds = 0;
  bool syncAcknowledged = false;
  std::vector<std::string> messages;  // UTF-8, in order
  std::string jobSha256;           // the job file's SHA-256 (hex); empty without a job
  std::string fields = "{}";       // JSON object: each field's value, a secret's fingerprint
  uint8_t protocol = 1;            // the conversation: 1 byte by byte, 2 in frames
  uint32_t baud = 9600;            // the rate the image went at
  // Not stored: what this attempt drew from the store's counters and lists (and its
  // generator), by field, for its image.
  std::vector<DrawnValue> drawn;
};

struct RecordQuery {
  int64_t sinceMs = std::numeric_limits<int64_t>::min();  // start >= since
  int64_t untilMs = std::numeric_limits<int64_t>::max();  // start < until
  bool failedOnly = false;
  std::optional<int64_t> serial;
  size_t limit = 0;          // 0: every record
  bool newestFirst = false;  // false: by start, then id (the CSV's order)
};

struct OutcomeCount {
  uint64_t passed = 0, failed = 0;
};

struct RecordSummary {
  struct Product {
    std::string product;
    uint32_t firmwareSize = 0, firmwareCrc32 = 0;
    OutcomeCount count;
  };
  struct Station {
    std::string pc, port;
    OutcomeCount count;
  };
  struct Step {
    std::string step;
    uint64_t failed = 0;
  };
  struct Hour {
    int64_t startMs = 0;  // a whole UTC hour
    OutcomeCount count;
  };
  OutcomeCount total;
  std::vector<Product> products;   // by product, then size, then CRC
  std::vector<Station> stations;   // by PC, then port
  std::vector<Step> failedSteps;   // by step
  std::vector<Hour> hours;         // hours with records, in order
  std::optional<int64_t> lowestSerial, highestSerial;
  uint64_t serials = 0;            // records that carry a serial number
};
