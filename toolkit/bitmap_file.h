// Bitmap files (".bmp") checked and decoded in memory, without any display, so that the
// packing tool can test a picture with the very rules the program loads it by.
//
//   kBitmapNotValid, kStreamReadError   the two texts a damaged bitmap is refused with
//   CheckBitmap(bytes)                  "" when the bytes are a bitmap we can show, else the text
//   DecodeBitmap(bytes, pixels)         the same check, then the pixels as RGB rows, top first
//
// Uncompressed bitmaps of 1, 4, 8, 16, 24 and 32 bits per pixel are read (16 and 32 also
// with bit-field masks), with the old 12-byte header or the 40-, 108- and 124-byte ones,
// stored bottom-up or top-down. Compressed ones are refused as not valid. Data that ends
// before the header, palette or pixel rows say it should is a stream read error; sizes
// that cannot be right are not valid. Nothing is allocated before the sizes are checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern const char* const kBitmapNotValid;
extern const char* const kStreamReadError;

struct BitmapPixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, top row first
};

std::string CheckBitmap(const std::vector<uint8_t>& bytes);
std::string DecodeBitmap(const std::vector<uint8_t>& bytes, BitmapPixels& pixels);
