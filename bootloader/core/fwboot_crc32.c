#include "fwboot_crc32.h"

static const uint32_t kNibbleTable[16] = {
    0x00000000ul, 0x1DB71064ul, 0x3B6E20C8ul, 0x26D930ACul, 0x76DC4190ul, 0x6B6B51F4ul,
    0x4DB26158ul, 0x5005713Cul, 0xEDB88320ul, 0xF00F9344ul, 0xD6D6A3E8ul, 0xCB61B38Cul,
    0x9B64C2B0ul, 0x86D3D2D4ul, 0xA00AE278ul, 0xBDBDF21Cul};

uint32_t fwboot_crc32_update(uint32_t crc, uint8_t byte) {
  crc ^= byte;
  crc = (crc >> 4) ^ kNibbleTable[crc & 15u];
  crc = (crc >> 4) ^ kNibbleTable[crc & 15u];
  return crc;
}

uint32_t fwboot_crc32_final(uint32_t crc) { return crc ^ 0xFFFFFFFFul; }

uint32_t fwboot_crc32_of(const uint8_t *bytes, uint16_t length) {
  uint32_t crc = FWBOOT_CRC32_START;
  while (length-- > 0) crc = fwboot_crc32_update(crc, *bytes++);
  return fwboot_crc32_final(crc);
}
