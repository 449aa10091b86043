#include "cli/firmware_source.h"

#include "device/crc32.h"
#include "files/whole_file.h"
#include "payload/payload_block.h"
#include "payload/payload_image.h"

namespace {

// The tag is read from this program's own block, so that its bytes stand nowhere else
// in the executable and the packing tool still finds exactly one block here.
std::string OwnTag() { return std::string(Payload.Tag, payload_layout::kTagSize); }

bool FirmwareFromProgram(const std::string& program, std::vector<uint8_t>& firmware,
                         std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(program, bytes, error)) return false;
  PayloadImage image;
  if (!image.Locate(std::move(bytes), OwnTag(), error)) {
    error = program + ": " + error;
    return false;
  }
  firmware = image.Firmware();
  return true;
}

}  // namespace

bool LoadFirmware(const std::string& firmwareFile, const std::string& fromProgram,
                  FirmwareImage& image, std::string& error) {
  std::string origin = "the built-in firmware";
  if (!firmwareFile.empty()) {
    origin = "firmware " + firmwareFile;
    if (!ReadWholeFile(firmwareFile, image.bytes, error)) return false;
  } else if (!fromProgram.empty()) {
    origin = "the firmware in " + fromProgram;
    if (!FirmwareFromProgram(fromProgram, image.bytes, error)) return false;
  } else {
    const uint32_t size = Payload.FirmwareSize;
    if (size > sizeof Payload.FirmwareImage) {
      error = "the built-in firmware's size (" + std::to_string(size) +
              " bytes) is beyond its room: the program's block is damaged";
      return false;
    }
    image.bytes.assign(Payload.FirmwareImage, Payload.FirmwareImage + size);
  }
  const uint32_t limit = ImageSizeLimit(image.bytes, !firmwareFile.empty());
  if (image.bytes.empty() || image.bytes.size() > limit) {
    error = origin + " is " + std::to_string(image.bytes.size()) + " bytes; it must be 1 to " +
            std::to_string(limit);
    return false;
  }
  image.crc32 = Crc32(image.bytes.data(), image.bytes.size());
  return true;
}
