// The signed image on the host: its header made from an application, the version and
// regions as a command line gives them, and an image described for --show.
//
//   ParseVersion(text, header, error)   "X.Y.Z" (X, Y up to 255, Z up to 65535) into the header
//   ParseRegion(text, region, error)    "OFFSET:LENGTH", each decimal or 0x hexadecimal
//   PrepareHeader(app, regions, key, header, error)
//                                       the header to be signed: the regions sorted, each
//                                       found blank in the app (all 0x00 or all 0xFF), the
//                                       app's hash with them blank, the key's id; refused
//                                       when a region is not blank, leaves the app, or
//                                       overlaps another
//   HeaderBytes(header)                 the header's bytes, the signature last
//   SignedBytes(header)                 the bytes its signature covers
//   DescribeImage(image, key, good)     the header as --show prints it; good when the
//                                       image is whole, its hash matches and, with a key,
//                                       its signature verifies
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bootloader/core/fwboot_signed.h"
#include "tools/boot-image/key_files.h"

bool ParseVersion(const std::string& text, fwboot_signed_header& header, std::string& error);
bool ParseRegion(const std::string& text, fwboot_region& region, std::string& error);
bool PrepareHeader(const std::vector<uint8_t>& app, std::vector<fwboot_region> regions, const PublicKey& key,
                   fwboot_signed_header& header, std::string& error);
std::vector<uint8_t> HeaderBytes(const fwboot_signed_header& header);
std::vector<uint8_t> SignedBytes(const fwboot_signed_header& header);
std::string DescribeImage(const std::vector<uint8_t>& image, const PublicKey* key, bool& good);
