#include "files/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, FileReadFailure& failure) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    failure = {true, errno};
    return false;
  }
  bytes.clear();
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool failed = std::ferror(file) != 0;
  failure = {false, errno};
  std::fclose(file);
  return !failed;
}

std::string FileReadReason(const std::string& path, const FileReadFailure& failure) {
  return std::string(failure.atOpen ? "cannot open " : "cannot read ") + path + ": " +
         std::strerror(failure.number);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  FileReadFailure failure;
  if (ReadWholeFile(path, bytes, failure)) return true;
  error = FileReadReason(path, failure);
  return false;
}
