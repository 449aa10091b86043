#include "attempts/run_plan.h"

#include <algorithm>
#include <memory>

#include "attempts/protocol_choice.h"
#include "jobs/field_plan.h"
#include "serials/serial_image.h"
#include "signatures/image_signature.h"

namespace {

// A first or last number of the block: a decimal the format can hold.
bool ParseBlockEnd(const std::string& option, const std::string& text, const SerialFormat& format,
                   int64_t& number, std::string& error) {
  if (!ParseSerialNumber(text, number, error)) {
    error = option + ": " + error;
    return false;
  }
  if (number > LargestSerial(format)) {
    error = option + " " + text + " does not fit the serial format: its largest number is " +
            std::to_string(LargestSerial(format));
    return false;
  }
  return true;
}

// The number inside the image, on a blank placeholder unless overwrite is given.
bool CheckSerialPlace(const std::vector<uint8_t>& image, const SerialPlacement& placement, bool overwrite,
                      std::string& error) {
  const Placeholder placeholder = CheckPlaceholder(image, placement.offset, placement.format.width);
  if (placeholder == Placeholder::Outside) {
    error = "the serial number (" + std::to_string(placement.format.width) + " bytes at offset " +
            std::to_string(placement.offset) + ") does not fit in the " + std::to_string(image.size()) +
            "-byte image";
    return false;
  }
  if (placeholder == Placeholder::NotBlank && !overwrite) {
    error = "the image's bytes at offset " + std::to_string(placement.offset) +
            " are not a blank placeholder (all 0x00 or all 0xFF); check --serial-at, or "
            "give --serial-overwrite to write over them on purpose";
    return false;
  }
  return true;
}

// The serial numbers' place, and their block as the serial counter's.
bool PlanSerials(const SerialSettings& settings, const FirmwareImage& image, SerialPlacement& placement,
                 CounterDraw& counter, std::string& error) {
  if (!ParseImageOffset(settings.at, placement.offset, error) ||
      !ParseSerialFormat(settings.format, placement.format, error) ||
      !CheckSerialPlace(image.bytes, placement, settings.overwrite, error)) {
    return false;
  }
  counter.field = kSerialFieldName;
  counter.firstGiven = !settings.first.empty();
  counter.last = LargestSerial(placement.format);
  if (counter.firstGiven && !ParseBlockEnd("--serial-first", settings.first, placement.format,
                                           counter.first, error)) {
    return false;
  }
  if (!settings.last.empty() &&
      !ParseBlockEnd("--serial-last", settings.last, placement.format, counter.last, error)) {
    return false;
  }
  if (counter.first > counter.last) {
    error = "the first serial number (" + std::to_string(counter.first) +
            ") is above the last (" + std::to_string(counter.last) + ")";
    return false;
  }
  return true;
}

// The serial settings as the one counter field named serial.
bool SerialField(const SerialSettings& settings, const FirmwareImage& image, std::vector<JobField>& fields,
                 std::string& error) {
  SerialPlacement placement;
  JobField serial;
  if (!PlanSerials(settings, image, placement, serial.counter, error)) return false;
  serial.name = kSerialFieldName;
  serial.at = placement.offset;
  serial.format.number = placement.format;
  serial.formatText = settings.format;
  fields.push_back(serial);
  return true;
}

// The store is opened only when a field takes its values from a list.
bool CheckListsInStore(const RunPlanInputs& inputs, const std::vector<JobField>& fields, std::string& error) {
  const auto fromList = [](const JobField& field) { return field.source == JobField::Source::List; };
  if (std::none_of(fields.begin(), fields.end(), fromList)) return true;
  std::unique_ptr<RecordStore> store = OpenRecordStore(inputs.store, error, nullptr, inputs.opening);
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  return store != nullptr && store->ReadStock(0, 0, lists, counters, error) && CheckFieldLists(fields, lists, error);
}


// A signed image's line writes only into its regions: each field must lie inside one.
bool FieldsInSignedRegions(const std::vector<uint8_t>& image, const std::vector<JobField>& fields, bool serialAt,
                           std::string& error) {
  fwboot_signed_header header;
  const fwboot_signed_status status = ParseImageHeader(image, header);
  if (fields.empty() || status == FWBOOT_SIGNED_NOT_SIGNED) return true;
  if (status != FWBOOT_SIGNED_OK) {
    error = std::string("the image's signed header is bad: ") + SignedStatusText(status);
    return false;
  }
  for (const JobField& field : fields) {
    const unsigned width = FieldWidth(field.format);
    if (InsideRegion(header, field.at, width)) continue;
    error = (serialAt ? std::string("--serial-at ") : "field " + field.name + " at ") + std::to_string(field.at) +
            " (" + std::to_string(width) + " bytes) lies outside the image's signed regions: " + RegionList(header);
    return false;
  }
  return true;
}

// The plan's fields against image's bytes, counted from its first byte.
bool PlanFields(const RunPlanInputs& inputs, const FirmwareImage& image, RunPlan& plan, std::string& error) {
  std::vector<JobField>& fields = plan.fields;
  fields.clear();
  plan.draws.reset();
  if (!inputs.serial.at.empty()) {
    if (!SerialField(inputs.serial, image, fields, error)) return false;
  } else if (!inputs.job.fields.empty()) {
    fields = inputs.job.fields;
    if (!CheckFieldPlaces(fields, image.bytes, inputs.job.overwrite, error) ||
        !CheckListsInStore(inputs, fields, error)) {
      return false;
    }
  }
  if (fields.empty()) return true;
  plan.draws = DrawsOf(fields, inputs.product);
  plan.draws->describe = [fields](DeviceRecord& record) { record.fields = DescribeFields(fields, record); };
  return true;
}

}  // namespace

bool PlanRun(const RunPlanInputs& inputs, const FirmwareImage& image, RunPlan& plan, std::string& error) {
  // Behind the reference header, fields count from the application's first byte, as the
  // signed header's regions do: the plan is made against the application alone.
  uint32_t headerSize = 0;
  if (!ReferenceHeaderSize(image.bytes.data(), image.bytes.size(), headerSize)) headerSize = 0;
  FirmwareImage application = image;
  auto& bytes = application.bytes;
  bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(headerSize));
  if (!PlanFields(inputs, application, plan, error) ||
      !FieldsInSignedRegions(image.bytes, plan.fields, !inputs.serial.at.empty(), error))
    return false;
  for (JobField& field : plan.fields) field.at += headerSize;
  return true;
}
