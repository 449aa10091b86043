#include "records/system_error.h"

#include <cstring>

std::string SystemErrorText(int number) { return std::strerror(number); }
