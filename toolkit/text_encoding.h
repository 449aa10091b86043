// The program's 8-bit texts in UTF-8, as every front end shows them: kept when they are
// valid UTF-8, otherwise read as Windows-1252. No locale or converter is needed, so the
// command line shows the same on every platform.
//
//   IsValidUtf8(text)   true for well-formed UTF-8 (no overlong forms, no surrogates)
//   DisplayText(text)   the text in UTF-8
#pragma once

#include <string>

bool IsValidUtf8(const std::string& text);
std::string DisplayText(const std::string& text);
