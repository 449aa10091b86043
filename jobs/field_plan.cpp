#include "jobs/field_plan.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "serials/serial_image.h"

namespace {

std::string Place(const JobField& field) {
  return "the field " + field.name + " (" + std::to_string(FieldWidth(field.format)) +
         " bytes at offset " + std::to_string(field.at) + ")";
}

// The field's value in the record, in its list syntax; none when it drew nothing.
const Secret* ValueOf(const JobField& field, const DeviceRecord& record, Secret& serial) {
  if (field.name == kSerialFieldName && field.source == JobField::Source::Counter) {
    if (!record.serial) return nullptr;
    serial = Secret(std::to_string(*record.serial));
    return &serial;
  }
  for (const DrawnValue& drawn : record.drawn)
    if (drawn.field == field.name) return &drawn.value;
  return nullptr;
}

// A number's value as its field shows it; any other value in its list syntax.
std::string Shown(const JobField& field, const std::string& value) {
  int64_t number = 0;
  std::string error;
  if (field.format.kind != FieldFormat::Kind::Number || field.show == FieldShow::Decimal ||
      !ParseSerialNumber(value, number, error))
    return value;
  return ShowNumber(field.format, field.show, number);
}

}  // namespace

bool CheckFieldPlaces(const std::vector<JobField>& fields, const std::vector<uint8_t>& image,
                      bool overwrite, std::string& error) {
  for (const JobField& field : fields) {
    const uint64_t width = FieldWidth(field.format);
    const Placeholder placeholder = CheckPlaceholder(image, field.at, width);
    if (placeholder == Placeholder::Outside) {
      error = Place(field) + " does not fit in the " + std::to_string(image.size()) + "-byte image";
      return false;
    }
    if (placeholder == Placeholder::NotBlank && !overwrite) {
      error = "the image's bytes under " + Place(field) +
              " are not a blank placeholder (all 0x00 or all 0xFF); check its offset, or set "
              "overwrite = true in the job to write over them on purpose";
      return false;
    }
    for (const JobField& other : fields) {
      if (&other == &field) break;
      const uint64_t otherEnd = other.at + FieldWidth(other.format);
      if (field.at < otherEnd && other.at < field.at + width) {
        error = Place(field) + " overlaps " + Place(other);
        return false;
      }
    }
  }
  return true;
}

bool CheckFieldLists(const std::vector<JobField>& fields, const std::vector<ListInfo>& lists,
                     std::string& error) {
  for (const JobField& field : fields) {
    if (field.source != JobField::Source::List) continue;
    const auto list = std::find_if(lists.begin(), lists.end(),
                                   [&](const ListInfo& info) { return info.name == field.list; });
    if (list == lists.end()) {
      error = "the field " + field.name + " takes the list " + field.list +
              ", which is not in the store: import it first (--import-list)";
      return false;
    }
    const std::string kind = ListKindOf(field.format);
    // A text list's items are at most its length: they fit any field at least that long.
    const bool fits = list->kind == kind &&
                      (kind == "text" ? list->length <= ItemLengthOf(field.format)
                                      : list->length == ItemLengthOf(field.format));
    if (!fits) {
      error = "the field " + field.name + " (" + field.formatText + ") needs a " + kind + " list" +
              (kind == "number" ? "" : " of length " + std::to_string(ItemLengthOf(field.format))) +
              "; the list " + list->name + " is " + list->kind +
              (list->kind == "number" ? "" : " of length " + std::to_string(list->length));
      return false;
    }
    if (list->secret != field.secret) {
      error = "the field " + field.name + (field.secret ? " is secret" : " is not secret") +
              ", but the list " + list->name + (list->secret ? " is" : " is not") +
              ": a list's secrecy is its fields'";
      return false;
    }
  }
  return true;
}

AttemptDraws DrawsOf(const std::vector<JobField>& fields, const std::string& product) {
  AttemptDraws draws;
  draws.product = product;
  for (const JobField& field : fields) {
    if (field.source == JobField::Source::Counter) draws.counters.push_back(field.counter);
    if (field.source == JobField::Source::List) draws.lists.push_back({field.name, field.list});
  }
  return draws;
}

bool StampFields(const std::vector<JobField>& fields, const std::vector<uint8_t>& base,
                 const DeviceRecord& record, std::vector<uint8_t>& image, std::string& error) {
  image = base;
  for (const JobField& field : fields) {
    Secret serial;
    const Secret* value = ValueOf(field, record, serial);
    std::vector<uint8_t> bytes;
    if (value == nullptr) {
      error = "no value for the field " + field.name;
      return false;
    }
    if (!RenderField(field.format, value->Reveal(), bytes, error)) {
      error = "the field " + field.name + ": " + error;
      return false;
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(field.at));
  }
  return true;
}

std::string DescribeFields(const std::vector<JobField>& fields, const DeviceRecord& record) {
  nlohmann::ordered_json described = nlohmann::ordered_json::object();
  for (const JobField& field : fields) {
    Secret serial;
    const Secret* value = ValueOf(field, record, serial);
    if (value == nullptr) continue;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!field.secret) {
      described[field.name] = Shown(field, value->Reveal());
    } else if (RenderField(field.format, value->Reveal(), bytes, error)) {
      described[field.name] = Fingerprint(std::string(bytes.begin(), bytes.end()));
    } else {
      described[field.name] = Fingerprint(value->Reveal());
    }
  }
  return described.dump();
}
