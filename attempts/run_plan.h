// A run's fields and what each device draws, planned once before anything is sent, from
// the job and the command line's serial-number settings.
//
//   SerialSettings        the serial number as the command line places it (without a job)
//   RunPlanInputs         the job, the serial settings, the store and the product
//   PlanRun(inputs, image, plan, error)
//                         the job's fields, or the settings' one counter field named
//                         serial, whose offsets count from the application's first byte
//                         behind the reference header (the plan's count from the
//                         image's); false with the reason when a field does not fit the
//                         image or lies outside a signed image's regions, its
//                         placeholder is not blank, a first or last number is beyond
//                         the format or out of order, or a list in the store is missing
//                         or does not match its field
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "attempts/firmware_image.h"
#include "jobs/job_file.h"
#include "records/record_store.h"

struct SerialSettings {
  std::string at;          // the offset; empty: no serial numbers from the command line
  std::string format;
  std::string first, last;  // empty: the counter's own, the format's largest
  bool overwrite = false;   // the placeholder need not be blank
};

struct RunPlanInputs {
  const JobFile& job;
  SerialSettings serial;
  std::string store;              // where the job's lists are looked up
  std::string product;
  OpenEvents* opening = nullptr;  // told while the store is opened for the lists
};

struct RunPlan {
  std::vector<JobField> fields;
  std::optional<AttemptDraws> draws;  // none without fields
};

bool PlanRun(const RunPlanInputs& inputs, const FirmwareImage& image, RunPlan& plan, std::string& error);
