// The program's own file is found per platform (program_file_linux.cpp, _win32.cpp).
#include "files/program_file.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ProgramName(const std::string& file) {
  const size_t slash = file.find_last_of("/\\");
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  const std::string exe = ".exe";
  if (name.size() > exe.size() && Lowercase(name.substr(name.size() - exe.size())) == exe)
    name.resize(name.size() - exe.size());
  return name;
}

// Windows names files without regard to case: FWFLASH.EXE is fwflash itself.
std::string VersionName(const std::string& file, const std::string& own) {
  const std::string name = ProgramName(file);
  const std::string shipped = own.substr(0, own.find(' '));
  return Lowercase(name) == shipped ? own : name + " (" + own + ")";
}
