// A run's production job and fields, from --job or from --serial-at, checked before
// anything is sent; and the store's lists, imported and shown.
//
//   LoadJob(options, job, error)   reads --job's file into the options it fills (the
//                                  product, the firmware, the store, the spool); false
//                                  when it cannot be read or an option is given both in
//                                  it and on the command line
//   PlanRunFields(options, job, image, product, fields, block, error)
//                                  the run's fields and what each device draws: the
//                                  job's, or --serial-at's serial number; false with the
//                                  reason when a field does not fit the image, its
//                                  placeholder is not blank, or its list in the store
//                                  is missing or does not match it
//   ImportList(options)            --import-list: the exit code
//   ShowLists(options)             --lists: the exit code
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/firmware_source.h"
#include "jobs/job_file.h"
#include "records/record_store.h"

bool LoadJob(CliOptions& options, JobFile& job, std::string& error);
bool PlanRunFields(const CliOptions& options, const JobFile& job, const FirmwareImage& image,
                   const std::string& product, std::vector<JobField>& fields,
                   std::optional<SerialBlock>& block, std::string& error);
int ImportList(const CliOptions& options);
int ShowLists(const CliOptions& options);
