#include "records/system_error.h"

std::string SystemErrorText(int number) { return "Windows error " + std::to_string(number); }
