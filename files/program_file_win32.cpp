#include "files/program_file.h"

#include <windows.h>

std::string ProgramFile(const char* startedAs) {
  char path[4096];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length > 0 && length < sizeof path) return std::string(path, length);
  return startedAs != nullptr ? startedAs : "";
}
