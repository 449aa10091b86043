// A signed image checked on the host as the device checks it: the header's parse, the
// key, the signature of the header, and the application's hash with every region at its
// blank value.
//
//   ParseImageHeader(image, header)   the parse of the signed header the image starts
//                                     with (FWBOOT_SIGNED_NOT_SIGNED for any other image)
//   SignedStatusText(status)          what a parse's status means, in words
//   AppHashMatches(image, header)     the image holds exactly the header and its
//                                     application, whose hash is the header's
//   CheckKey(image, header, key)      whether the header's signature verifies with key,
//                                     and when not, whether it names another key
//   InsideRegion(header, at, width)   width bytes from the application's byte at lie
//                                     inside one of the header's regions
//   RegionList(header)                the regions as OFFSET:LENGTH, "16:8, 64:6"; "none"
//   CheckImageSignature(image, keyPath, error)
//                                     false with a one-line reason when the .pub cannot
//                                     be read or the image is not one its key signed:
//                                     unsigned, a bad header, another key, a signature
//                                     that does not verify, or an application changed
//                                     outside its regions
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bootloader/core/fwboot_signed.h"
#include "signatures/public_key_file.h"

enum class KeyVerdict { Verifies, OtherKey, BadSignature };

fwboot_signed_status ParseImageHeader(const std::vector<uint8_t>& image, fwboot_signed_header& header);
const char* SignedStatusText(fwboot_signed_status status);
bool AppHashMatches(const std::vector<uint8_t>& image, const fwboot_signed_header& header);
KeyVerdict CheckKey(const std::vector<uint8_t>& image, const fwboot_signed_header& header, const PublicKey& key);
bool InsideRegion(const fwboot_signed_header& header, uint64_t at, uint64_t width);
std::string RegionList(const fwboot_signed_header& header);
bool CheckImageSignature(const std::vector<uint8_t>& image, const std::string& keyPath, std::string& error);
