#include "dashboard/api_json.h"

#include <cstdio>
#include <limits>

#include "records/crc32_text.h"
#include "records/record_time.h"

namespace {

using nlohmann::json;

// The fields' JSON text as an object; text that is not one (never written so) is empty.
json FieldsObject(const std::string& fields) {
  json parsed = json::parse(fields, nullptr, false);
  return parsed.is_object() ? parsed : json::object();
}

json Serial(const std::optional<int64_t>& serial) {
  return serial ? json(std::to_string(*serial)) : json(nullptr);
}

json Bound(int64_t ms, int64_t unbounded) { return ms == unbounded ? json(nullptr) : json(IsoUtcMs(ms)); }

json Counts(const OutcomeCount& count) {
  return {{"passed", count.passed}, {"failed", count.failed}};
}

}  // namespace

json StationsJson(const std::vector<StationState>& states, int64_t nowMs) {
  json stations = json::array();
  for (const StationState& state : states) {
    stations.push_back({{"pc", state.pc},
                        {"port", state.port},
                        {"label", state.label.empty() ? json(nullptr) : json(state.label)},
                        {"state", state.state},
                        {"percent", state.percent},
                        {"serial", Serial(state.serial)},
                        {"step", state.step},
                        {"message", state.message},
                        {"firmware_crc32", Crc32Text(state.firmwareCrc32)},
                        {"updated", IsoUtcMs(state.updatedMs)},
                        {"updated_ms", state.updatedMs},
                        {"progress_ms", state.progressMs},
                        {"running", state.state != "stopped" && nowMs - state.updatedMs <= kStationSilenceMs}});
  }
  return {{"now_ms", nowMs}, {"stations", stations}};
}

json RecordJson(const DeviceRecord& record) {
  return {{"id", record.id},
          {"start", IsoUtcMs(record.startMs)},
          {"start_ms", record.startMs},
          {"end", record.endMs ? json(IsoUtcMs(*record.endMs)) : json(nullptr)},
          {"pc", record.pc},
          {"port", record.port},
          {"product", record.product},
          {"fwflash_version", record.fwflashVersion},
          {"firmware_size", record.firmwareSize},
          {"firmware_crc32", Crc32Text(record.firmwareCrc32)},
          {"image_crc32", Crc32Text(record.imageCrc32)},
          {"serial", Serial(record.serial)},
          {"result", record.ok ? "ok" : "failed"},
          {"step", record.ok ? json(nullptr) : json(record.step)},
          {"byte", record.ok ? json(nullptr) : json(record.byte)},
          {"bytes", record.bytes},
          {"seconds", record.seconds},
          {"sync_acknowledged", record.syncAcknowledged},
          {"messages", record.messages},
          {"job_sha256", record.jobSha256},
          // As the record keeps them: a secret's value is never there, only its fingerprint.
          {"fields", FieldsObject(record.fields)}};
}

json ListsJson(const std::vector<ListInfo>& lists) {
  json stock = json::array();
  for (const ListInfo& list : lists) {
    const uint64_t left = list.items - list.given;
    stock.push_back({{"name", list.name}, {"kind", list.kind}, {"secret", list.secret}, {"items", list.items},
                     {"given", list.given}, {"left", left}, {"low", left < 100 || left * 10 < list.items}});
  }
  return stock;
}

json SummaryJson(const RecordSummary& summary, const OutcomeCount& lastHour, int64_t sinceMs,
                 int64_t untilMs, int64_t nowMs) {
  const uint64_t devices = summary.total.passed + summary.total.failed;
  json products = json::array(), stations = json::array(), steps = json::array(),
       hours = json::array();
  for (const RecordSummary::Product& product : summary.products) {
    json entry = Counts(product.count);
    entry["product"] = product.product;
    entry["firmware_size"] = product.firmwareSize;
    entry["firmware_crc32"] = Crc32Text(product.firmwareCrc32);
    products.push_back(entry);
  }
  for (const RecordSummary::Station& station : summary.stations) {
    json entry = Counts(station.count);
    entry["pc"] = station.pc;
    entry["port"] = station.port;
    stations.push_back(entry);
  }
  for (const RecordSummary::Step& step : summary.failedSteps)
    steps.push_back({{"step", step.step}, {"failed", step.failed}});
  for (const RecordSummary::Hour& hour : summary.hours) {
    json entry = Counts(hour.count);
    entry["start"] = IsoUtcMs(hour.startMs);
    entry["start_ms"] = hour.startMs;
    hours.push_back(entry);
  }
  return {{"now_ms", nowMs},
          {"since", Bound(sinceMs, std::numeric_limits<int64_t>::min())},
          {"until", Bound(untilMs, std::numeric_limits<int64_t>::max())},
          {"passed", summary.total.passed},
          {"failed", summary.total.failed},
          {"yield", devices ? json(double(summary.total.passed) / double(devices)) : json(nullptr)},
          {"last_hour", Counts(lastHour)},
          {"products", products},
          {"stations", stations},
          {"failed_steps", steps},
          {"hours", hours},
          {"serials",
           {{"count", summary.serials},
            {"lowest", Serial(summary.lowestSerial)},
            {"highest", Serial(summary.highestSerial)}}}};
}

std::string DumpJson(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}
