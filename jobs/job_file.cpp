#include "jobs/job_file.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <toml.hpp>

#include "records/store_target.h"
#include "secrets/sha256.h"

namespace {

namespace fs = std::filesystem;

using Value = toml::value;

const std::set<std::string> kJobKeys = {"product", "firmware", "from", "record", "spool",
                                        "protocol", "key", "overwrite", "field", "generator"};
const std::set<std::string> kFieldKeys = {"name", "at", "format", "show", "counter", "list", "generator", "secret"};
const std::set<std::string> kCounterKeys = {"first", "last", "step"};
const std::set<std::string> kGeneratorKeys = {"command", "timeout_s"};

constexpr size_t kLongestName = 32;

// toml11 tells a wrong type by exception; the job's reading is where it stops.
struct JobRefusal {
  std::string message;
};

[[noreturn]] void Refuse(const std::string& message, const Value& where, const std::string& note) {
  throw JobRefusal{toml::format_error(message, where, note)};
}

void OnlyKnownKeys(const Value& table, const std::set<std::string>& known, const std::string& what) {
  for (const auto& entry : table.as_table()) {
    if (known.count(entry.first) == 0)
      Refuse("unknown key \"" + entry.first + "\" in " + what, entry.second, "not a key of " + what);
  }
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > kLongestName || name[0] < 'a' || name[0] > 'z') return false;
  return name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos;
}

// A path of the job, relative to its folder; a SQLite store's too, a server's never.
std::string FromJobFolder(const fs::path& folder, const std::string& path) {
  const StoreTarget target = ParseStoreTarget(path);
  if (path.empty() || target.engine == StoreTarget::Engine::Postgres) return path;
  if (target.prefixed) return kSqlitePrefix + FromJobFolder(folder, target.location);
  const fs::path given = fs::u8path(path);
  return given.is_absolute() ? path : (folder / given).lexically_normal().u8string();
}

// A program written as a path stays a path. Made relative to the job's folder it may
// have lost its "./" (lexically_normal makes "./keygen" of a job named without a folder
// "keygen"): a name that posix_spawnp would look up on PATH. Windows looks up even
// "job\keygen.exe" in the program's own folder and on PATH; only a path that starts
// with ".\" or "..\" (or is absolute) is taken from the working directory alone.
std::string ProgramFromJobFolder(const fs::path& folder, const std::string& program) {
  const fs::path path = fs::u8path(FromJobFolder(folder, program));
  if (path.has_root_path() || *path.begin() == "..") return path.u8string();
  return (fs::path(".") / path).u8string();
}

std::string Text(const Value& table, const std::string& key) {
  return table.contains(key) ? toml::find<std::string>(table, key) : std::string();
}

int64_t NonNegative(const Value& table, const std::string& key, int64_t fallback) {
  if (!table.contains(key)) return fallback;
  const int64_t value = toml::find<int64_t>(table, key);
  if (value < 0) Refuse("\"" + key + "\" is negative", toml::find(table, key), "0 or more");
  return value;
}

JobField ReadField(const Value& table, const std::set<std::string>& taken) {
  OnlyKnownKeys(table, kFieldKeys, "a [[field]]");
  JobField field;
  field.name = toml::find<std::string>(table, "name");
  if (!ValidName(field.name))
    Refuse("a field's name is [a-z][a-z0-9_]*, at most 32 characters", toml::find(table, "name"), "this name");
  if (taken.count(field.name) > 0) Refuse("the field " + field.name + " is given twice", toml::find(table, "name"), "again");
  field.at = static_cast<uint64_t>(NonNegative(table, "at", -1));
  if (!table.contains("at")) Refuse("the field " + field.name + " has no \"at\"", table, "here");
  field.formatText = toml::find<std::string>(table, "format");
  std::string error;
  if (!ParseFieldFormat(field.formatText, field.format, error)) Refuse(error, toml::find(table, "format"), "this format");
  if (table.contains("show") && !ParseFieldShow(toml::find<std::string>(table, "show"), field.format, field.show, error))
    Refuse(error, toml::find(table, "show"), "this show");
  field.secret = table.contains("secret") && toml::find<bool>(table, "secret");
  const int sources = table.contains("counter") + table.contains("list") + table.contains("generator");
  if (sources != 1) Refuse("the field " + field.name + " needs one source: counter, list or generator", table, "here");
  if (table.contains("counter")) {
    const Value& counter = toml::find(table, "counter");
    OnlyKnownKeys(counter, kCounterKeys, "a counter");
    if (field.format.kind != FieldFormat::Kind::Number)
      Refuse("a counter needs a number format, not " + field.formatText, counter, "this counter");
    field.source = JobField::Source::Counter;
    field.counter.field = field.name;
    field.counter.firstGiven = counter.contains("first");
    field.counter.first = NonNegative(counter, "first", 1);
    field.counter.last = NonNegative(counter, "last", LargestSerial(field.format.number));
    field.counter.step = NonNegative(counter, "step", 1);
    if (field.counter.last > LargestSerial(field.format.number))
      Refuse("\"last\" does not fit the format " + field.formatText, toml::find(counter, "last"), "too large");
    if (field.counter.step < 1 || field.counter.step > kLargestCounterStep)
      Refuse(std::string("\"step\" runs from 1 to ") + kLargestCounterStepText, toml::find(counter, "step"), "this step");
    if (field.counter.first > field.counter.last)
      Refuse("\"first\" is above \"last\"", counter, "this counter");
  } else if (table.contains("list")) {
    field.source = JobField::Source::List;
    field.list = toml::find<std::string>(table, "list");
  } else {
    field.source = JobField::Source::Generator;
    field.generator = toml::find<std::string>(table, "generator");
  }
  if (field.name == kSerialFieldName && field.format.kind != FieldFormat::Kind::Number)
    Refuse("the field serial needs a number format", toml::find(table, "format"), "this format");
  return field;
}

JobGenerator ReadGenerator(const std::string& name, const Value& table, const fs::path& folder) {
  OnlyKnownKeys(table, kGeneratorKeys, "[generator." + name + "]");
  JobGenerator generator;
  generator.name = name;
  generator.command = toml::find<std::vector<std::string>>(table, "command");
  if (generator.command.empty() || generator.command[0].empty())
    Refuse("a generator's command names its program first", toml::find(table, "command"), "empty");
  // A program given as a path is the job folder's; a bare name is found on PATH.
  if (generator.command[0].find_first_of("/\\") != std::string::npos)
    generator.command[0] = ProgramFromJobFolder(folder, generator.command[0]);
  const int64_t timeout = NonNegative(table, "timeout_s", 10);
  if (timeout < 1 || timeout > 3600) Refuse("\"timeout_s\" runs from 1 to 3600", toml::find(table, "timeout_s"), "here");
  generator.timeoutS = static_cast<unsigned>(timeout);
  return generator;
}

void ReadJob(const Value& data, const fs::path& folder, JobFile& job) {
  OnlyKnownKeys(data, kJobKeys, "the job");
  job.product = Text(data, "product");
  job.firmware = FromJobFolder(folder, Text(data, "firmware"));
  job.from = FromJobFolder(folder, Text(data, "from"));
  job.record = FromJobFolder(folder, Text(data, "record"));
  job.spool = FromJobFolder(folder, Text(data, "spool"));
  job.protocol = Text(data, "protocol");
  job.key = FromJobFolder(folder, Text(data, "key"));
  job.overwrite = data.contains("overwrite") && toml::find<bool>(data, "overwrite");
  if (data.contains("generator")) {
    for (const auto& entry : toml::find<toml::table>(data, "generator"))
      job.generators[entry.first] = ReadGenerator(entry.first, entry.second, folder);
  }
  std::set<std::string> names;
  if (data.contains("field")) {
    for (const Value& table : toml::find<std::vector<Value>>(data, "field")) {
      job.fields.push_back(ReadField(table, names));
      names.insert(job.fields.back().name);
      const JobField& field = job.fields.back();
      if (field.source == JobField::Source::Generator && job.generators.count(field.generator) == 0)
        Refuse("no [generator." + field.generator + "] in the job", toml::find(table, "generator"), "this generator");
    }
  }
}

}  // namespace

bool ReadJobFile(const std::string& path, JobFile& job, std::string& error) {
  job = JobFile();
  job.path = path;
  std::ifstream file(fs::u8path(path), std::ios::binary);
  std::stringstream bytes;
  if (!file || !(bytes << file.rdbuf())) {
    error = "cannot read the job " + path;
    return false;
  }
  const std::string text = bytes.str();
  job.sha256 = Sha256Hex(text);
  std::istringstream in(text);
  try {
    ReadJob(toml::parse(in, path), fs::u8path(path).parent_path(), job);
    return true;
  } catch (const JobRefusal& refusal) {
    error = "the job " + path + ": " + refusal.message;
  } catch (const std::exception& failure) {  // toml11's syntax and type errors
    error = "the job " + path + ": " + failure.what();
  }
  return false;
}
