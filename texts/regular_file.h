// Opens a file for reading only when it is a regular file: a pipe or a terminal of that
// name would block the start-up, where the program expects a file or nothing. nullptr
// otherwise. One file per platform (regular_file_posix.cpp, _win32.cpp).
#pragma once

#include <cstdio>

FILE* OpenRegularFile(const char* name);
