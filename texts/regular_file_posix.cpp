#include "texts/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Opened without blocking, checked, then made blocking again for the reading.
FILE* OpenRegularFile(const char* name) {
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "r");
  if (file == nullptr) close(fd);
  return file;
}
