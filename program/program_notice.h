// A few lines for the person who started the program with options. A windowed program
// on Windows has no console, so there they go into a message box captioned with the
// program's title; on Linux to standard output, or standard error for a failure.
#pragma once

#include <string>

void ShowNotice(const std::string& title, const std::string& text, bool failure);
