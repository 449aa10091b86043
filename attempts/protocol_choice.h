// Which conversation a device gets, chosen once for the run:
//
//   Protocol::One    today's conversation, byte by byte: the sync alone, never a probe
//   Protocol::Two    the probe; a device that does not answer it fails as the sync does
//   Protocol::Auto   the probe, and without an answer in its 50 ms the sync: protocol 1
//
//   ParseProtocol(text, protocol, error)    "1", "2" or "auto"; false with the reason
//   ChooseProtocol(text, image, size, protocol, error)
//                                           the run's choice: the text when one is given
//                                           (--protocol or a job's protocol), else auto
//                                           for an image that starts with the reference
//                                           header and 1 for any other: a raw image is
//                                           never sent anything new
//   ReferenceHeaderSize(bytes, size, headerSize)
//                                           true when the image starts with one of the
//                                           reference bootloader's headers, with its size:
//                                           8 for the unsigned "FWB1" (magic, total
//                                           length), the size field of the signed "FWS1"
//                                           when it is one a header can have and leaves
//                                           an application in the image; false for any
//                                           other image (a raw one)
//   ImageSizeLimit(bytes, fromFile)         the largest image taken: 1 MiB for a file
//                                           that starts with a reference header, the
//                                           payload block's room for any other and for
//                                           every image from a payload block
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Protocol { One, Two, Auto };

constexpr uint32_t kHeaderedImageLimit = 1024 * 1024;
constexpr uint32_t kUnsignedHeaderSize = 8;  // "FWB1", then the image's total length
constexpr uint32_t kDefaultMaxBaud = 2000000;

bool ParseProtocol(const std::string& text, Protocol& protocol, std::string& error);
bool ChooseProtocol(const std::string& text, const uint8_t* image, size_t size, Protocol& protocol,
                    std::string& error);
bool ReferenceHeaderSize(const uint8_t* bytes, size_t size, uint32_t& headerSize);
uint32_t ImageSizeLimit(const std::vector<uint8_t>& bytes, bool fromFile);
