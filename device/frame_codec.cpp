#include "device/frame_codec.h"

#include <algorithm>

#include "device/crc32.h"

using namespace frames;

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetU32(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

void AppendFrame(std::vector<uint8_t>& out, uint8_t kind, uint32_t arg, const uint8_t* payload, uint16_t n) {
  const size_t header = out.size();
  out.insert(out.end(), {kStart, kind, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)});
  PutU32(out, arg);
  PutU32(out, Crc32(out.data() + header, 8));
  if (n == 0) return;
  out.insert(out.end(), payload, payload + n);
  PutU32(out, Crc32(payload, n));
}

void FrameParser::Feed(const uint8_t* bytes, size_t n) {
  // Until a frame has begun, only a start byte is kept.
  if (pending_.empty()) {
    const uint8_t* start = std::find(bytes, bytes + n, kStart);
    n -= static_cast<size_t>(start - bytes);
    bytes = start;
  }
  pending_.insert(pending_.end(), bytes, bytes + n);
}

bool FrameParser::Next(Frame& frame) {
  for (;;) {
    if (pending_.size() < kHeaderSize) return false;
    const uint8_t* header = pending_.data();
    const uint16_t n = static_cast<uint16_t>(header[2] | header[3] << 8);
    if (GetU32(header + 8) != Crc32(header, 8) || n > kMaxPayload) {
      // Not a frame's start after all: hunt on from the next start byte.
      auto next = std::find(pending_.begin() + 1, pending_.end(), kStart);
      pending_.erase(pending_.begin(), next);
      continue;
    }
    const size_t size = FrameSize(n);
    if (pending_.size() < size) return false;
    frame.kind = header[1];
    frame.arg = GetU32(header + 4);
    frame.payload.assign(header + kHeaderSize, header + kHeaderSize + n);
    frame.payloadGood = n == 0 || GetU32(header + kHeaderSize + n) == Crc32(frame.payload.data(), n);
    auto next = std::find(pending_.begin() + static_cast<std::ptrdiff_t>(size), pending_.end(), kStart);
    pending_.erase(pending_.begin(), next);
    return true;
  }
}
