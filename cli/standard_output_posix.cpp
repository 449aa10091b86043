#include <unistd.h>

#include "cli/standard_output.h"

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

void SetBinaryOutput() {}  // the output is binary already
