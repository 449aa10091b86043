// A station's generators: each run ahead, while the station waits for its next device,
// so that a device's conversation is never delayed. One output serves one device.
//
//   StationGenerators(job, fields, environment)
//       the job's generators that its fields name; environment: FWFLASH_PRODUCT,
//       FWFLASH_PC, FWFLASH_PORT and FWFLASH_JOB_SHA256
//   Prepare(problem)   runs each generator that has no output waiting; false with the
//                      problem (with its stderr's tail) when one fails, times out, or
//                      prints anything but exactly the JSON object of its fields, each a
//                      value its field's format takes
//   Ready()            each generator has an output waiting
//   Values()           the waiting outputs, as the fields' values
//   Consume()          they went to a device: the next device needs new ones
//   Waiting()          the outputs never sent
#pragma once

#include <string>
#include <vector>

#include "jobs/job_file.h"
#include "jobs/program_run.h"
#include "records/device_record.h"

class StationGenerators {
 public:
  StationGenerators(const JobFile& job, const std::vector<JobField>& fields, Environment environment);

  bool Empty() const { return generators_.empty(); }
  bool Prepare(std::string& problem);
  bool Ready() const;
  std::vector<DrawnValue> Values() const;
  void Consume();
  size_t Waiting() const;

 private:
  struct Generator {
    JobGenerator settings;
    std::vector<const JobField*> fields;
    std::vector<DrawnValue> output;  // empty: none waiting
  };
  bool Run(Generator& generator, std::string& problem) const;

  std::vector<Generator> generators_;
  Environment environment_;
};
