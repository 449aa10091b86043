#include "texts/language_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstring>

#include "texts/language_line_reader.h"
#include "texts/text_table.h"

static_assert(kLanguageLineBufferSize == kTextSlotSize);

namespace {

// Opens the file only when it is a regular file: a pipe or a terminal of that name
// would block the start-up, where the program expects a file or nothing. On Windows
// neither can sit in a directory and a directory does not open: a plain binary open
// does (the reader does the text mode's work itself).
FILE* OpenRegularFile(const char* name) {
#ifdef _WIN32
  return std::fopen(name, "rb");
#else
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
#endif
}

}  // namespace

void LoadLanguageFile() {
  // Relative on purpose: the working directory's file, never the program's directory's.
  FILE* file = OpenRegularFile("deflang.txt");
  if (file == nullptr) return;
  ReadLanguageLines(file);
  std::fclose(file);
}

int ReadLanguageLines(FILE* file) {
  LanguageLineReader reader(file);
  char line[kLanguageLineBufferSize];
  int slot = 0;
  while (slot < kTextSlotCount && reader.ReadLine(line) > 0) {
    OverwriteTextSlot(slot, line, std::strlen(line));  // what a reader of C text sees
    ++slot;
  }
  return slot;
}
