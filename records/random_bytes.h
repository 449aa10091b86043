// Sixteen bytes from the system's cryptographic source, for a version 4 UUID.
#pragma once

#include <cstdint>

void RandomBytes(uint8_t (&bytes)[16]);
