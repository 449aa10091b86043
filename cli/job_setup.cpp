#include "cli/job_setup.h"

#include <algorithm>
#include <cstdio>

#include "ports/auto_ports.h"

#include "cli/store_progress.h"
#include "jobs/list_file.h"
#include "jobs/program_run.h"

namespace {

// One place says each setting: the job's are refused on the command line.
bool TakeFromJob(const std::string& fromJob, std::string& option, const char* name, std::string& error) {
  if (fromJob.empty()) return true;
  if (!option.empty()) {
    error = std::string(name) + " is given in the job and on the command line: give it in one place";
    return false;
  }
  option = fromJob;
  return true;
}

}  // namespace

bool LoadJob(CliOptions& options, JobFile& job, std::string& error) {
  if (options.job.empty()) return true;
  if (!ReadJobFile(options.job, job, error)) return false;
  if (!options.serialAt.empty()) {
    error = "--serial-at is given with --job: the job's field named serial says it";
    return false;
  }
  if (!job.firmware.empty() && !options.fromProgram.empty()) {
    error = "the job names the firmware, and --from is given: give it in one place";
    return false;
  }
  if (!job.from.empty() && !options.firmwareFile.empty()) {
    error = "the job names the firmware, and --firmware is given: give it in one place";
    return false;
  }
  if (!TakeFromJob(job.product, options.product, "--product", error) ||
      !TakeFromJob(job.firmware, options.firmwareFile, "--firmware", error) ||
      !TakeFromJob(job.from, options.fromProgram, "--from", error) ||
      !TakeFromJob(job.record, options.record, "--record", error) ||
      !TakeFromJob(job.spool, options.spool, "--spool", error) ||
      !TakeFromJob(job.protocol, options.protocol, "--protocol", error) ||
      !TakeFromJob(job.key, options.key, "--key", error)) {
    return false;
  }
  if (!job.fields.empty() && options.record.empty()) {
    error = "the job's fields need a store: give record in the job or --record";
    return false;
  }
  // Each candidate of --port auto would need an output ready before its sync.
  if (!job.generators.empty() && std::count(options.ports.begin(), options.ports.end(), kAutoPort) > 0) {
    error = "a job with a generator cannot take --port auto: name the stations' ports with --port";
    return false;
  }
  for (const auto& generator : job.generators) {
    const std::string refusal = ProgramRefusal(generator.second.command);
    if (!refusal.empty()) {
      error = "the generator " + generator.first + ": " + refusal;
      return false;
    }
  }
  return true;
}

bool PlanRunFields(const CliOptions& options, const JobFile& job, const FirmwareImage& image,
                   const std::string& product, RunPlan& plan, std::string& error) {
  OpeningOnStderr opening;
  const RunPlanInputs inputs{
      job,
      {options.serialAt, options.serialFormat, options.serialFirst, options.serialLast, options.serialOverwrite},
      options.record, product, &opening};
  return PlanRun(inputs, image, plan, error);
}

int ImportList(const CliOptions& options) {
  ListImport import;
  import.list.name = options.importList[0];
  import.list.kind = options.listKind;
  import.list.secret = options.secretList;
  import.list.length = options.listKind == "number" ? 0 : options.listLength;
  if (options.listKind != "number" && options.listLength == 0)
    return Refuse("--list-kind " + options.listKind + " needs --list-length");
  if (options.listKind == "number" && options.listLength != 0)
    return Refuse("--list-length is for hex and text lists");
  std::string error, fileSha256;
  if (!ReadListFile(options.importList[1], options.listColumn, import, fileSha256, error)) return Refuse(error);
  OpeningOnStderr opening;
  std::unique_ptr<RecordStore> store = OpenRecordStore(options.record, error, nullptr, &opening);
  if (store == nullptr || !store->ImportList(import, error)) return Refuse(error);
  std::printf("%zu items added to the list %s from %s, SHA-256 %s\n", import.items.size(),
              import.list.name.c_str(), options.importList[1].c_str(), fileSha256.c_str());
  return kExitAllFlashed;
}

int ShowLists(const CliOptions& options) {
  std::string error;
  OpeningOnStderr opening;
  std::unique_ptr<RecordStore> store = OpenRecordStore(options.record, error, nullptr, &opening);
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  if (store == nullptr || !store->ReadStock(0, 0, lists, counters, error)) return Refuse(error);
  if (lists.empty()) std::printf("no lists in %s\n", StoreTargetName(options.record).c_str());
  for (const ListInfo& list : lists) {
    const std::string kind = list.kind + (list.kind == "number" ? "" : ":" + std::to_string(list.length));
    std::printf("%s: %s, %s, %llu items, %llu given, %llu left\n", list.name.c_str(), kind.c_str(),
                list.secret ? "secret" : "not secret", static_cast<unsigned long long>(list.items),
                static_cast<unsigned long long>(list.given),
                static_cast<unsigned long long>(list.items - list.given));
  }
  return kExitAllFlashed;
}
