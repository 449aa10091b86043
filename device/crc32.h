// Crc32(bytes, size): the CRC-32 of zip and Ethernet (reflected polynomial 0xEDB88320),
// which protects the frames of the second conversation and by which the packing tool,
// the records and the tests name a firmware image. A library of its own, so that a
// program linking it carries nothing else of the device link.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32(const uint8_t* bytes, size_t size);
