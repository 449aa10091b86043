#include "attempts/attempt_books.h"

#include "device/crc32.h"
#include "fwflash_version.h"
#include "device/stop_pause.h"
#include "jobs/field_plan.h"
#include "records/record_time.h"
#include "records/uuid.h"

namespace {

// A device synced while serial numbers or a job's fields are on, for which the store gave
// no values.
const char kNoSerial[] = "no serial number: the record store cannot be reached";
const char kNoValues[] = "no values for the job's fields: the record store cannot be reached";

constexpr unsigned kGeneratorRetryMs = 5000;

}  // namespace

AttemptBooks::AttemptBooks(const StationRecords& records, const FirmwareImage& image, const std::string& port,
                           bool retryGenerators)
    : records_(records), image_(image),
      session_(records.keeper != nullptr ? records.keeper->Session() : nullptr), port_(port),
      retryGenerators_(retryGenerators) {
  if (records.job == nullptr || session_ == nullptr) return;
  generators_ = std::make_unique<StationGenerators>(
      *records.job, records.fields,
      Environment{{"FWFLASH_PRODUCT", records.product}, {"FWFLASH_PC", records.pc},
                  {"FWFLASH_PORT", port}, {"FWFLASH_JOB_SHA256", records.jobSha256}});
  if (generators_->Empty()) generators_.reset();
}

AttemptBooks::~AttemptBooks() {
  if (generators_ != nullptr && records_.unusedOutputs != nullptr) *records_.unusedOutputs += generators_->Waiting();
}

bool AttemptBooks::MayTakeDevice(const StopRequest& stop) {
  if (session_ == nullptr) return true;
  if (!PrepareAhead(stop)) return false;
  if (records_.keeper->BlockExhausted()) return false;
  return session_->AwaitStore(stop) && !records_.keeper->BlockExhausted();
}

bool AttemptBooks::PrepareAhead(const StopRequest& stop) {
  std::string problem;
  while (generators_ != nullptr && !stop.Requested() && !generators_->Prepare(problem)) {
    if (!generatorFailing_ && records_.generatorEvents != nullptr)
      records_.generatorEvents->GeneratorFailed(port_, problem, retryGenerators_);
    generatorFailing_ = true;
    if (!retryGenerators_) return false;
    Pause(stop, kGeneratorRetryMs);
  }
  if (stop.Requested()) return false;
  generatorFailing_ = false;
  return true;
}

BeginResult AttemptBooks::Begin(const std::string& port) {
  record_ = DeviceRecord();
  if (session_ == nullptr) return BeginResult::Begun;
  record_.id = NewUuidV4();
  record_.startMs = NowUtcMs();
  record_.pc = records_.pc;
  record_.port = port;
  record_.product = records_.product;
  record_.fwflashVersion = FWFLASH_VERSION;
  record_.firmwareSize = static_cast<uint32_t>(image_.bytes.size());
  record_.firmwareCrc32 = image_.crc32;
  record_.imageCrc32 = image_.crc32;
  record_.jobSha256 = records_.jobSha256;
  problem_.clear();
  if (generators_ != nullptr) record_.drawn = generators_->Values();
  BeginResult result = session_->Begin(record_);
  if (result == BeginResult::Begun && generators_ != nullptr) generators_->Consume();
  if (result == BeginResult::Failed) problem_ = records_.job != nullptr ? kNoValues : kNoSerial;
  if (result == BeginResult::Begun && !records_.fields.empty()) {
    if (StampFields(records_.fields, image_.bytes, record_, stamped_, problem_)) {
      record_.imageCrc32 = Crc32(stamped_.data(), stamped_.size());
    } else {
      result = BeginResult::Failed;  // its record stays, failed: the values are taken
    }
  }
  return result;
}

void AttemptBooks::Complete(const AttemptOutcome& outcome) {
  if (session_ == nullptr) return;
  record_.endMs = NowUtcMs();
  record_.ok = outcome.ok;
  record_.step = outcome.ok ? "" : outcome.step;
  record_.byte = outcome.ok ? 0 : outcome.byte;
  record_.bytes = outcome.bytes;
  record_.seconds = outcome.seconds;
  record_.syncAcknowledged = outcome.syncAcknowledged;
  record_.messages = outcome.messages;
  record_.protocol = outcome.protocol;
  record_.baud = outcome.baud;
  session_->Complete(record_);
}
