#include "jobs/generated_values.h"

#include <nlohmann/json.hpp>

namespace {

// The output as the fields' values: exactly one string per field, each one the field's
// format takes. The values are never shown: they may be secrets.
bool ReadOutput(const std::string& output, const std::vector<const JobField*>& fields,
                std::vector<DrawnValue>& values, std::string& problem) {
  const nlohmann::json object = nlohmann::json::parse(output, nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    problem = "its output is not one JSON object";
    return false;
  }
  for (const JobField* field : fields) {
    const auto value = object.find(field->name);
    if (value == object.end() || !value->is_string()) {
      problem = "its output has no string \"" + field->name + "\"";
      return false;
    }
    std::vector<uint8_t> bytes;
    std::string why;
    if (!RenderField(field->format, value->get<std::string>(), bytes, why)) {
      problem = "its \"" + field->name + "\" is not a value of " + field->formatText + ": " + why;
      return false;
    }
    values.push_back({field->name, Secret(value->get<std::string>()), "", 0, 0});
  }
  if (object.size() == fields.size()) return true;
  problem = "its output has keys besides its fields'";
  return false;
}

}  // namespace

StationGenerators::StationGenerators(const JobFile& job, const std::vector<JobField>& fields,
                                     Environment environment)
    : environment_(std::move(environment)) {
  for (const auto& entry : job.generators) {
    Generator generator;
    generator.settings = entry.second;
    for (const JobField& field : fields)
      if (field.source == JobField::Source::Generator && field.generator == entry.first)
        generator.fields.push_back(&field);
    if (!generator.fields.empty()) generators_.push_back(std::move(generator));
  }
}

bool StationGenerators::Run(Generator& generator, std::string& problem) const {
  std::string output, errorTail;
  std::vector<DrawnValue> values;
  if (RunProgram(generator.settings.command, environment_, generator.settings.timeoutS, output, errorTail, problem) &&
      ReadOutput(output, generator.fields, values, problem)) {
    generator.output = std::move(values);
    return true;
  }
  problem = "the generator " + generator.settings.name + ": " + problem;
  while (!errorTail.empty() && (errorTail.back() == '\n' || errorTail.back() == '\r')) errorTail.pop_back();
  if (!errorTail.empty()) problem += "; its stderr ends: " + errorTail;
  return false;
}

bool StationGenerators::Prepare(std::string& problem) {
  for (Generator& generator : generators_)
    if (generator.output.empty() && !Run(generator, problem)) return false;
  return true;
}

bool StationGenerators::Ready() const {
  for (const Generator& generator : generators_)
    if (generator.output.empty()) return false;
  return true;
}

std::vector<DrawnValue> StationGenerators::Values() const {
  std::vector<DrawnValue> values;
  for (const Generator& generator : generators_)
    values.insert(values.end(), generator.output.begin(), generator.output.end());
  return values;
}

void StationGenerators::Consume() {
  for (Generator& generator : generators_) generator.output.clear();
}

size_t StationGenerators::Waiting() const {
  size_t waiting = 0;
  for (const Generator& generator : generators_) waiting += generator.output.empty() ? 0 : 1;
  return waiting;
}
