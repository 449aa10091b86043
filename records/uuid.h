// A random UUID, version 4, in lower case: "1b4e28ba-2fa1-4d2e-883f-0016d3cca427".
// The bits come from the system's random source.
#pragma once

#include <string>

std::string NewUuidV4();
