// A small program that links the payload block and the text table as fwflash does and
// prints what it sees when it runs, so that tests can check a (re)packed executable.
// Texts are printed as hex bytes, one slot per line.
#include <cstdio>
#include <string>

#include "device/crc32.h"
#include "payload/payload_block.h"
#include "texts/text_table.h"

int main() {
  std::printf("picture %u crc32 %08x\n", Payload.ProductPictureSize,
              Crc32(Payload.ProductPicture, Payload.ProductPictureSize));
  std::printf("firmware %u crc32 %08x\n", Payload.FirmwareSize,
              Crc32(Payload.FirmwareImage, Payload.FirmwareSize));
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    std::printf("text %d", slot);
    for (unsigned char c : ReadTextSlot(slot)) std::printf(" %02x", c);
    std::printf("\n");
  }
  return 0;
}
