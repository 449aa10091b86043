// The system's number for a failure as words: errno's text, or on Windows (where the
// number is GetLastError()'s) the number itself.
#pragma once

#include <string>

std::string SystemErrorText(int number);
