// A whole file in one read, so that what is checked is what is used.
//
//   ReadWholeFile(path, bytes, failure)   false when the file cannot be opened or read;
//                                         failure says which, with the system's errno
//   FileReadReason(path, failure)         that failure as one line: "cannot open PATH: why"
//   ReadWholeFile(path, bytes, error)     the same, with the failure's line in error
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileReadFailure {
  bool atOpen = false;  // else while reading
  int number = 0;       // errno
};

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, FileReadFailure& failure);

std::string FileReadReason(const std::string& path, const FileReadFailure& failure);

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
