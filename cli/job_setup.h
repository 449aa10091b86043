// A run's production job and fields, from --job or from --serial-at, checked before
// anything is sent; and the store's lists, imported and shown.
//
//   LoadJob(options, job, error)   reads --job's file into the options it fills (the
//                                  product, the firmware, the store, the spool); false
//                                  when it cannot be read or an option is given both in
//                                  it and on the command line
//   PlanRunFields(options, job, image, product, plan, error)
//                                  the run's plan (attempts/run_plan.h) from the job and
//                                  the --serial-* options; false with the reason
//   ImportList(options)            --import-list: the exit code
//   ShowLists(options)             --lists: the exit code
#pragma once

#include <string>

#include "attempts/run_plan.h"
#include "cli/cli_options.h"
#include "jobs/job_file.h"

bool LoadJob(CliOptions& options, JobFile& job, std::string& error);
bool PlanRunFields(const CliOptions& options, const JobFile& job, const FirmwareImage& image,
                   const std::string& product, RunPlan& plan, std::string& error);
int ImportList(const CliOptions& options);
int ShowLists(const CliOptions& options);
