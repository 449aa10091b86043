#include "texts/language_file.h"

#include <cstring>

#include "texts/language_line_reader.h"
#include "texts/regular_file.h"
#include "texts/text_table.h"

static_assert(kLanguageLineBufferSize == kTextSlotSize);

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
