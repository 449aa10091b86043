#include "records/random_bytes.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>

// getrandom reads /dev/urandom's pool and blocks only before it was ever seeded at boot.
void RandomBytes(uint8_t (&bytes)[16]) {
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
    else if (errno != EINTR) break;
  }
  if (got == sizeof bytes) return;
  if (FILE* urandom = std::fopen("/dev/urandom", "rb")) {
    got += std::fread(bytes + got, 1, sizeof bytes - got, urandom);
    std::fclose(urandom);
  }
}
