#include "texts/regular_file.h"

// Neither a pipe nor a terminal can sit in a directory on Windows, and a directory does
// not open: a plain binary open does (the reader does the text mode's work itself).
FILE* OpenRegularFile(const char* name) { return std::fopen(name, "rb"); }
