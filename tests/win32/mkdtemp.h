// mkdtemp, which the shared tests' scratch directories are made with, on the Windows C
// library. Under Wine a path such as "/tmp/x" names Linux's /tmp: the tests start on
// drive Z:, the Linux root.
#pragma once

#include <direct.h>
#include <stdlib.h>
#include <string.h>

inline char* mkdtemp(char* pattern) {
  return _mktemp_s(pattern, strlen(pattern) + 1) == 0 && _mkdir(pattern) == 0 ? pattern : nullptr;
}
