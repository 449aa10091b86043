// Windows only: its wide (UTF-16) texts and the program's UTF-8, converted in one place.
//
//   Utf8FromWide(wide)      the wide text in UTF-8; empty when it cannot be converted
//   WideFromUtf8(utf8)      the UTF-8 text as a wide one; empty when it cannot be converted
//   WideFromAnsi(text)      a text of the ANSI code page (a command line's) as a wide one
#pragma once

#include <string>

std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);
std::wstring WideFromAnsi(const std::string& text);
