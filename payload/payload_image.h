// A built executable's bytes with its payload block found in them: what the packing
// tool changes and what the tests check, by the one layout of payload_layout.h.
//
//   PayloadImage                an executable's bytes and its block:
//     Locate(bytes, tag, error) takes the bytes and finds the one block; false if none,
//                               more than one, or sizes beyond their room
//     Picture(), Firmware()     the stored bytes, as long as their size fields say
//     Text(slot)                a text slot's text up to its NUL
//     SetPicture/SetFirmware    stores bytes and their size, zeros the room behind them
//     SetText(slot, text)       stores a text and its NUL, zeros the slot behind it
//     Bytes(), BlockOffset()    the whole executable; where its block starts
//
// The block starts at the one "@DEREV#" and NUL whose second tag "@DEREV#" stands
// 112,804 bytes further on; its fields sit at the layout's offsets from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/payload_layout.h"

class PayloadImage {
 public:
  // tag: kPayloadTag (payload_tag.h), or a program's own block's tag, read from it.
  bool Locate(std::vector<uint8_t> bytes, const std::string& tag, std::string& error);

  std::vector<uint8_t> Picture() const;
  std::vector<uint8_t> Firmware() const;
  std::string Text(size_t slot) const;

  // The caller has checked that the bytes fit their room and the text its slot.
  void SetPicture(const std::vector<uint8_t>& picture);
  void SetFirmware(const std::vector<uint8_t>& firmware);
  void SetText(size_t slot, const std::string& text);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t BlockOffset() const { return block_; }

 private:
  uint8_t* Field(size_t offset) { return bytes_.data() + block_ + offset; }
  const uint8_t* Field(size_t offset) const { return bytes_.data() + block_ + offset; }
  uint32_t ReadSize(size_t offset) const;
  void StoreArea(size_t size_offset, size_t area_offset, size_t capacity,
                 const std::vector<uint8_t>& contents);

  std::vector<uint8_t> bytes_;
  size_t block_ = 0;
};
