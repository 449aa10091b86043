// The image the stations send: the firmware of the program's own payload block, a raw
// file (--firmware), or the firmware inside another packed program (--from), found by
// its block's tag and checked by the shared layout.
//
//   LoadFirmware(file, program, image, error)   false with a one-line reason: a file
//                                               that cannot be read, an image that is
//                                               empty or beyond its limit (1 MiB for a
//                                               file with the reference header, else
//                                               16,388 bytes), a program without exactly
//                                               one valid block
#pragma once

#include <string>

#include "attempts/firmware_image.h"

bool LoadFirmware(const std::string& firmwareFile, const std::string& fromProgram,
                  FirmwareImage& image, std::string& error);
