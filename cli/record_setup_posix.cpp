#include <unistd.h>

#include "cli/record_setup.h"

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

std::string Utf8Argument(const std::string& argument) { return argument; }
