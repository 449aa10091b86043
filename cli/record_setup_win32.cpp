#include <windows.h>

#include "cli/record_setup.h"
#include "files/utf16.h"

std::string HostName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return "unknown";
  return name;
}

// The command line comes in the ANSI code page; one that does not convert stays as given.
std::string Utf8Argument(const std::string& argument) {
  const std::string utf8 = Utf8FromWide(WideFromAnsi(argument));
  return utf8.empty() ? argument : utf8;
}
