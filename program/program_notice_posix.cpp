#include "program/program_notice.h"

#include <cstdio>

void ShowNotice(const std::string&, const std::string& text, bool failure) {
  std::fprintf(failure ? stderr : stdout, "%s\n", text.c_str());
}
