#include "cli/store_progress.h"

#include <cstdio>

void TellCountingKept(uint64_t records) {
  std::fprintf(stderr, "record store: counting the %llu records kept so far, once\n",
               static_cast<unsigned long long>(records));
}

void TellKeptCounted(int percent) { std::fprintf(stderr, "record store: counted %d %%\n", percent); }
