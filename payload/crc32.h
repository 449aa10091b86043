// Crc32(bytes, size): the CRC-32 of zip and Ethernet (reflected polynomial 0xEDB88320),
// by which the packing tool and the tests name a firmware image. Kept apart from the
// block's reader so that a program linking it carries no copy of the block's tag.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32(const uint8_t* bytes, size_t size);
