// fwflash-cli's command line. The option names are an interface: line-control software
// and scripts call them.
//
//   CliOptions                       what the command line asked for
//   ParseCliOptions(argc, argv, …)   false when the program ends at once with exitCode:
//                                    0 after --help, 2 after a usage error (its message
//                                    written to standard error)
//   kExit…                           the exit codes (stations/exit_codes.h)
//   Refuse(reason)                   writes "fwflash-cli: reason" to standard error;
//                                    returns the exit code 2
#pragma once

#include <string>
#include <vector>

#include "attempts/protocol_choice.h"
#include "stations/port_labels.h"
#include "stations/exit_codes.h"

int Refuse(const std::string& reason);

struct CliOptions {
  std::vector<std::string> ports;  // --port, repeatable; COM1's path when none is given
  PortLabels labels;               // --port LABEL=PATH: the stations' labels by path
  std::vector<std::string> excludes;  // --exclude, repeatable: ports that --port auto leaves
  std::string firmwareFile;        // --firmware FILE
  std::string fromProgram;         // --from PROGRAM
  std::string protocol;            // --protocol 1|2|auto; empty: chosen by the image
  uint32_t maxBaud = kDefaultMaxBaud;  // --max-baud N
  std::string key;                 // --key NAME.pub: the image must be signed with its key
  bool json = false;               // --json
  std::string logFile;             // --log FILE
  bool wait = false;               // --wait: station mode
  unsigned count = 0;              // --count N: devices per station, 0 for no end
  // Production records and serial numbers
  std::string record;              // --record TARGET: a SQLite file or postgresql://...
  std::string spool;               // --spool PATH: where records wait for the store
  std::string pc;                  // --pc NAME: this PC in the records (its host name)
  std::string product;             // --product NAME: the product in the records
  std::string serialAt;            // --serial-at OFFSET
  std::string serialFormat;        // --serial-format FORMAT
  std::string serialFirst;         // --serial-first N
  std::string serialLast;          // --serial-last N
  bool serialOverwrite = false;    // --serial-overwrite: the placeholder need not be blank
  bool report = false;             // --report: what the records say, instead of flashing
  bool csv = false;                // --csv: with --report, every record as CSV
  std::string since, until;        // --since, --until: with --report, the start range
  std::string serve;               // --serve [ADDR:]PORT: the line's dashboard (not on Windows)
  // Production jobs (jobs/): the job file fills the settings it holds, above
  std::string job;                 // --job FILE
  std::vector<std::string> importList;  // --import-list NAME FILE
  std::string listKind;            // --list-kind hex|text|number
  unsigned listLength = 0;         // --list-length N
  std::string listColumn;          // --list-column NAME: the items of a CSV file
  bool secretList = false;         // --secret
  bool lists = false;              // --lists
  bool listPorts = false;          // --list-ports
  bool version = false;            // --version
};

bool ParseCliOptions(int argc, char** argv, CliOptions& options, int& exitCode);
