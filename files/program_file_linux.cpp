#include "files/program_file.h"

#include <unistd.h>

std::string ProgramFile(const char* startedAs) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length > 0 && static_cast<size_t>(length) < sizeof path) return std::string(path, length);
  return startedAs != nullptr ? startedAs : "";
}
