// The program's icon in the Windows icon file format, which the resource compiler puts
// into fwflash.exe as the executable's icon.
//
//   IconFileBytes(icon)   a .ico holding the 32 x 32 and the 16 x 16 image, 16 colours
//                         each, with the transparent pixels in their masks
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/form_description.h"

std::vector<uint8_t> IconFileBytes(const IconDescription& icon);
