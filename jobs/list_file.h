// A list file read for its import: one item per line (LF or CRLF, blank lines skipped),
// or one column of a CSV file with a header row. Every item is read as the list's kind
// and length; a bad line or a duplicate within the file refuses the whole file.
//
//   ReadListFile(path, column, import, fileSha256, error)
//                  import.list names the list, its kind, length and secrecy; its items
//                  are filled in file order, each with its line and SHA-256. False with
//                  the reason, naming the line, when one is not an item of the list
#pragma once

#include <string>

#include "records/record_store.h"

bool ReadListFile(const std::string& path, const std::string& column, ListImport& import,
                  std::string& fileSha256, std::string& error);
