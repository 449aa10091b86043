#include "files/program_file.h"

#include <cctype>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string ProgramFile(const char* startedAs) {
  char path[4096];
#ifdef _WIN32
  const long length = static_cast<long>(GetModuleFileNameA(nullptr, path, sizeof path));
#else
  const long length = static_cast<long>(readlink("/proc/self/exe", path, sizeof path));
#endif
  if (length > 0 && static_cast<size_t>(length) < sizeof path) return std::string(path, length);
  return startedAs != nullptr ? startedAs : "";
}

std::string ProgramName(const std::string& file) {
  const size_t slash = file.find_last_of("/\\");
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  const std::string exe = ".exe";
  if (name.size() > exe.size()) {
    std::string ending = name.substr(name.size() - exe.size());
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == exe) name.resize(name.size() - exe.size());
  }
  return name;
}
