// The checks a product picture must pass before fwflash-pack stores it.
//
//   CheckPictureBytes(bytes, error)      true when the program's bitmap loader accepts
//                                        the bytes and they fit the picture's room
//   PictureDimensions(bytes, w, h)       width and height from a bitmap's header
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool CheckPictureBytes(const std::vector<uint8_t>& bytes, std::string& error);

bool PictureDimensions(const std::vector<uint8_t>& bytes, int64_t& width, int64_t& height);
