#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "cli/job_options.h"
#include "device/serial_port.h"
#include "ports/auto_ports.h"

namespace {

const char kDescription[] =
    "fwflash-cli: flashes the firmware it carries (or another image) into the devices on\n"
    "one or more serial ports at once, without a window. Each device gets the desktop\n"
    "program's conversation; one result line per device, then a summary line.";

const char kExitCodes[] =
    "Exit codes (where several apply, the largest):\n"
    "  0  every device flashed\n"
    "  1  at least one device failed (a stopped conversation counts as failed), or the\n"
    "     block of serial numbers (or a job's counter or list) ran out\n"
    "  2  usage or bad input: nothing was sent\n"
    "  3  a station's port could not be opened or set up (not with --wait, which retries),\n"
    "     or no device answered --port auto";

// --port auto finds the ports itself, and --exclude only narrows what it finds.
bool AutoAlone(const CliOptions& options, int& exitCode) {
  const bool automatic = std::count(options.ports.begin(), options.ports.end(), kAutoPort) > 0;
  const char* refusal = automatic && options.ports.size() > 1 ? "--port auto goes alone"
                        : !automatic && !options.excludes.empty() ? "--exclude needs --port auto"
                                                                  : nullptr;
  if (refusal == nullptr) return true;
  exitCode = Refuse(refusal);
  return false;
}

// Labels name stations for a person: two alike would tell of one station what the other did.
bool LabelsDistinct(CliOptions& options, int& exitCode) {
  std::string error;
  if (TakePortLabels(options.ports, options.labels, error)) return true;
  exitCode = Refuse(error);
  return false;
}

const char kRecordHelp[] =
    "keep a record of every device in this store: a SQLite file (PATH or sqlite:PATH), or "
    "a PostgreSQL server (postgresql://USER@HOST/DB; give the password by PGPASSWORD or "
    "the password file, ~/.pgpass or on Windows %APPDATA%\\postgresql\\pgpass.conf, not in "
    "the URI)";

void AddRecordOptions(CLI::App& app, CliOptions& options) {
  app.add_option("--record", options.record, kRecordHelp)->type_name("TARGET");
  app.add_option("--spool", options.spool,
                 "keep records that the store cannot take in this SQLite file until it can "
                 "(default: fwflash/spool.sqlite in the user's state folder)")
      ->type_name("PATH");
  app.add_option("--pc", options.pc, "this PC's name in the records (default: its host name)")
      ->type_name("NAME");
  app.add_option("--product", options.product,
                 "the product in the records and its serial counter (default: this program's "
                 "name without .exe and -cli)")
      ->type_name("NAME");
  auto* at = app.add_option("--serial-at", options.serialAt,
                            "give every device its own serial number, written at this byte "
                            "offset of the image (decimal or 0x hex); needs --record")
                 ->type_name("OFFSET");
  auto* format = app.add_option("--serial-format", options.serialFormat,
                                "the number's form: u16le, u16be, u32le, u32be, u48le, u48be, "
                                "u64le, u64be, dec:N (N digits) or hex:N (N upper-case hex digits)")
                     ->type_name("FORMAT")->needs(at);
  at->needs(format);
  app.add_option("--serial-first", options.serialFirst,
                 "the first number when the product's counter is new (default 1); above the "
                 "counter, it moves the counter up to it")
      ->type_name("N")->needs(at);
  app.add_option("--serial-last", options.serialLast,
                 "the last number of the block for this run (default: the largest the format holds)")
      ->type_name("N")->needs(at);
  app.add_flag("--serial-overwrite", options.serialOverwrite,
               "write the number over image bytes that are not a blank placeholder")
      ->needs(at);
  auto* report = app.add_flag("--report", options.report,
                              "summarise the records of --record instead of flashing")
                     ->excludes(at);
  app.add_flag("--csv", options.csv, "with --report: every record as CSV")->needs(report);
  app.add_option("--since", options.since,
                 "with --report: records that started at or after this time (UTC unless an "
                 "offset is given; a date alone is 00:00)")
      ->type_name("TIME")->needs(report);
  app.add_option("--until", options.until, "with --report: records that started before this time")
      ->type_name("TIME")->needs(report);
}

// A store's options need the store, named by --record or by the job.
bool StoreGiven(const CliOptions& options, int& exitCode) {
  if (!options.record.empty() || !options.job.empty()) return true;
  const std::pair<bool, const char*> needing[] = {
      {!options.spool.empty(), "--spool"},       {!options.pc.empty(), "--pc"},
      {!options.product.empty(), "--product"},   {!options.serialAt.empty(), "--serial-at"},
      {options.report, "--report"},              {!options.serve.empty(), "--serve"},
      {options.lists, "--lists"},                {!options.importList.empty(), "--import-list"}};
  for (const auto& option : needing) {
    if (!option.first) continue;
    exitCode = Refuse(std::string(option.second) + " needs --record or --job");
    return false;
  }
  return true;
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions& options, int& exitCode) {
  CLI::App app(kDescription, "fwflash-cli");
  app.footer(kExitCodes);
  app.add_option("--port", options.ports,
                 "a station's serial port, repeatable (COM5, COM10, /dev/ttyUSB0, "
                 "/dev/serial/by-path/...), with a short label before it if wanted "
                 "(A1=/dev/ttyUSB0: up to 16 of A-Z a-z 0-9 _ . -); default: COM1 as "
                 "fwflash finds it; auto: every USB serial port whose device answers the sync")
      ->type_name("[LABEL=]PATH")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--exclude", options.excludes,
                 "with --port auto: leave this port alone (the same device by any path), repeatable")
      ->type_name("PATH")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  auto* firmware =
      app.add_option("--firmware", options.firmwareFile, "send this raw image instead of the built-in one")
          ->type_name("FILE");
  app.add_option("--from", options.fromProgram,
                 "send the firmware inside this packed fwflash, fwflash.exe or fwflash-cli")
      ->type_name("PROGRAM")
      ->excludes(firmware);
  app.add_option("--protocol", options.protocol,
                 "the conversation: 1 (byte by byte, as every device takes it), 2 (in frames at "
                 "a faster rate; the device must answer the probe) or auto (the probe, then 1 "
                 "when no answer comes); default: auto for an image with the reference "
                 "bootloader's header, 1 for any other")
      ->type_name("1|2|auto")
      ->check(CLI::IsMember({"1", "2", "auto"}));
  app.add_option("--max-baud", options.maxBaud,
                 "with protocol 2: the highest rate to propose (default 2000000)")
      ->type_name("N")
      ->check(CLI::Range(1u, kDefaultMaxBaud));
  app.add_option("--key", options.key,
                 "flash only an image signed with this public key (NAME.pub): its signature and "
                 "its application's hash are checked before the first device")
      ->type_name("NAME.pub");
  app.add_flag("--json", options.json, "one JSON object per line for every event, instead of text");
  app.add_option("--log", options.logFile, "append one timestamped line per device result")
      ->type_name("FILE");
  auto* wait = app.add_flag("--wait", options.wait,
                            "station mode: each station flashes one device after the next, "
                            "waiting for each to arrive and to go");
  app.add_option("--count", options.count,
                 "with --wait: end a station after N devices (with --port auto: all stations "
                 "after N devices together)")
      ->type_name("N")
      ->check(CLI::PositiveNumber)
      ->needs(wait);
  AddRecordOptions(app, options);
  app.add_option("--serve", options.serve,
                 "serve the line's dashboard of --record's store at [ADDR:]PORT (address "
                 "127.0.0.1 unless given), until Ctrl+C or SIGTERM; without --port, only serve")
      ->type_name("[ADDR:]PORT")->excludes("--report");
  AddJobOptions(app, options);
  app.add_flag("--list-ports", options.listPorts, "list this machine's serial ports and exit");
  app.add_flag("--version", options.version, "show the version and the firmware carried, and exit");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    exitCode = app.exit(error) == 0 ? kExitAllFlashed : kExitBadInput;
    return false;
  }
  if (!StoreGiven(options, exitCode)) return false;
  const bool storeAlone = !options.importList.empty() || options.lists;
  if (options.ports.empty() && options.serve.empty() && !storeAlone) options.ports.push_back(Com1Path());
  return AutoAlone(options, exitCode) && LabelsDistinct(options, exitCode);
}

int Refuse(const std::string& reason) {
  std::fprintf(stderr, "fwflash-cli: %s\n", reason.c_str());
  return kExitBadInput;
}
