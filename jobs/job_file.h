// A product's production job, read from its TOML file in one place: the product, the
// firmware, the store and spool, and each device's fields with their sources. Paths in
// it are relative to the file's own folder (the working directory for a file named
// without one), so that a job's folder may be copied from PC to PC; a generator's
// program too when it names a path, which stays a path (a bare name is looked up on
// PATH).
//
//   ReadJobFile(path, job, error)   false with the reason: the TOML library's own message
//                                   (its line and caret) for a syntax error, the name of
//                                   an unknown key, a value of the wrong type or outside
//                                   what it may be
//   JobFile::sha256                 the SHA-256 of the file's bytes (hex): the job's
//                                   identity in every record
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jobs/field_format.h"
#include "jobs/field_show.h"
#include "records/record_store.h"

struct JobField {
  enum class Source { Counter, List, Generator };
  std::string name;
  uint64_t at = 0;
  std::string formatText;
  FieldFormat format;
  FieldShow show = FieldShow::Decimal;  // how a number's value is shown in the record
  Source source = Source::Counter;
  CounterDraw counter;     // Counter: first, last, step (field is the name)
  std::string list;        // List: the list's name
  std::string generator;   // Generator: the [generator.NAME] it comes from
  bool secret = false;
};

struct JobGenerator {
  std::string name;
  std::vector<std::string> command;  // the program, then its arguments
  unsigned timeoutS = 10;
};

struct JobFile {
  std::string path, sha256;
  std::string product, firmware, from, record, spool;  // empty when the job has none
  std::string protocol;  // "1", "2" or "auto"; empty when the job has none
  std::string key;       // NAME.pub: the image must be signed with its key; empty: unchecked
  bool overwrite = false;  // fields may be written over bytes that are not blank
  std::vector<JobField> fields;
  std::map<std::string, JobGenerator> generators;
};

bool ReadJobFile(const std::string& path, JobFile& job, std::string& error);
