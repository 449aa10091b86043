// This PC's name and the arguments in UTF-8 are per platform (record_setup_posix.cpp,
// _win32.cpp).
#include "cli/record_setup.h"

#include "files/program_file.h"

std::string DefaultProduct(const std::string& programFile) {
  std::string name = ProgramName(programFile);
  const std::string cli = "-cli";
  if (name.size() > cli.size() && name.compare(name.size() - cli.size(), cli.size(), cli) == 0) {
    name.resize(name.size() - cli.size());
  }
  return name;
}
