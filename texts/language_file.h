// The language file: "deflang.txt" in the working directory replaces the texts of the
// table line by line (line k goes to slot k), which is how the program is localised.
//
//   LoadLanguageFile()          reads "deflang.txt" when it can be opened; else nothing
//   ReadLanguageLines(file)     the reading loop; returns how many slots it overwrote
//
// Lines follow LanguageLineReader's rules (texts/language_line_reader.h); a slot takes
// a line's text up to its first NUL and keeps its line feed. At most 26 lines are read.
// A missing or unreadable file is not an error: the defaults stay and nothing is shown;
// so is anything but a regular file (a directory, a pipe), which is never read.
#pragma once

#include <cstdio>

void LoadLanguageFile();

int ReadLanguageLines(FILE* file);
