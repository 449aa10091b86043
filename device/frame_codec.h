// Frames on the wire, both directions: a start byte, the kind, the payload's length, an
// argument and the header's CRC-32, then the payload and its CRC-32 (when there is one).
//
//   AppendFrame(out, kind, arg, payload, n)  the frame's bytes after out's
//   FrameParser                              finds frames in the bytes as they arrive:
//                                            it hunts for the start byte, and after a
//                                            header whose CRC is wrong it hunts on from
//                                            the byte after that start byte. A frame
//                                            whose header is right but whose payload is
//                                            damaged comes out with payloadGood false
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace frames {
constexpr uint8_t kStart = 0xC5;
constexpr size_t kHeaderSize = 12;
constexpr size_t kCrcSize = 4;
constexpr uint16_t kMaxPayload = 4096;

// Host to device.
constexpr uint8_t kBaud = 0x01;
constexpr uint8_t kCheck = 0x02;
constexpr uint8_t kBegin = 0x03;
constexpr uint8_t kData = 0x04;
constexpr uint8_t kEnd = 0x05;
// Device to host.
constexpr uint8_t kCaps = 0x81;
constexpr uint8_t kAck = 0x82;
constexpr uint8_t kNak = 0x83;
constexpr uint8_t kResult = 0x84;

// The bytes a frame with n payload bytes takes on the line.
constexpr size_t FrameSize(size_t n) { return kHeaderSize + n + (n > 0 ? kCrcSize : 0); }
}  // namespace frames

struct Frame {
  uint8_t kind = 0;
  uint32_t arg = 0;
  std::vector<uint8_t> payload;
  bool payloadGood = true;
};

void AppendFrame(std::vector<uint8_t>& out, uint8_t kind, uint32_t arg, const uint8_t* payload = nullptr,
                 uint16_t n = 0);

class FrameParser {
 public:
  void Feed(const uint8_t* bytes, size_t n);
  // The next whole frame, in the order they arrived; false when none is complete.
  bool Next(Frame& frame);
  // Whether a frame has begun: a start byte waits for the rest of its frame.
  bool Begun() const { return !pending_.empty(); }
  void Clear() { pending_.clear(); }

 private:
  std::vector<uint8_t> pending_;  // from a start byte on
};
