#include "cli/attempt_record.h"

#include "fwflash_version.h"
#include "payload/crc32.h"
#include "records/record_time.h"
#include "records/uuid.h"

AttemptBooks::AttemptBooks(const StationRecords& records, const FirmwareImage& image)
    : records_(records), image_(image),
      session_(records.keeper != nullptr ? records.keeper->Session() : nullptr) {}

bool AttemptBooks::MayTakeDevice(const StopRequest& stop) {
  if (session_ == nullptr) return true;
  if (records_.keeper->BlockExhausted()) return false;
  return session_->AwaitStore(stop) && !records_.keeper->BlockExhausted();
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
  const BeginResult result = session_->Begin(record_);
  if (result == BeginResult::Begun && record_.serial) {
    stamped_ = StampSerial(image_.bytes, *records_.serial, *record_.serial);
    record_.imageCrc32 = Crc32(stamped_.data(), stamped_.size());
  }
  return result;
}

void AttemptBooks::Complete(const StationResult& result) {
  if (session_ == nullptr) return;
  record_.endMs = NowUtcMs();
  record_.ok = result.ok;
  record_.step = result.ok ? "" : result.step;
  record_.byte = result.ok ? 0 : StoppedAtByte(result);
  record_.bytes = result.accepted;
  record_.seconds = result.seconds;
  record_.syncAcknowledged = result.syncAcknowledged;
  record_.messages = result.messages;
  session_->Complete(record_);
}
