// The host's side of the second protocol, played by a test on the device's terminal. Its
// frames are made and checked with the host's CRC-32 (device/crc32.h), not the device's.
//
//   Send(frame)          one frame; Probe() the probe byte (a device gone takes nothing:
//                        Next tells)
//   Next(limitMs)        the next frame the device sends; kind 0 when none came in time
//   Begin(app) / Data(app, offset) / End(app, crc)
//                        the frames of an application: BEGIN with its image header, the
//                        DATA frame at offset (a page, the last shorter), END with the
//                        length and the CRC-32 given
//   Stream(app, from, to) the DATA frames from offset from up to to, back to back
//   Finish(app, from)    the DATA frames from offset from on, four in flight, then END:
//                        true when each was acknowledged in turn and the RESULT is 0
//   Flash(app)           the probe, BEGIN, Finish: true when all went as it should
//   BeginWith(header), FlashWith(app, header)
//                        the same with the header given (a signed one)
#pragma once

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

#include "device/crc32.h"
#include "tests/bootloader/host_side.h"

struct Frame {
  uint8_t kind = 0;
  uint32_t arg = 0;
  std::vector<uint8_t> payload;
  bool operator==(const Frame& other) const {
    return kind == other.kind && arg == other.arg && payload == other.payload;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Frame& frame) {
  out << "kind 0x" << std::hex << int(frame.kind) << std::dec << " arg " << frame.arg << " payload";
  for (uint8_t b : frame.payload) out << ' ' << int(b);
  return out;
}

enum : uint8_t { kBaud = 1, kCheck = 2, kBegin = 3, kData = 4, kEnd = 5, kCaps = 0x81, kAck = 0x82, kNak = 0x83,
                 kResult = 0x84 };
inline Frame Ack(uint32_t arg) { return {kAck, arg, {}}; }
inline Frame Nak(uint32_t offset, uint8_t reason) { return {kNak, offset, {reason}}; }
inline Frame Result(uint32_t status) { return {kResult, status, {}}; }

inline void PutU32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

class FrameHost {
 public:
  FrameHost(const std::string& path, unsigned pageSize) : line_(path), pageSize_(pageSize) {}

  void Probe() { line_.Write(std::vector<uint8_t>{0x3F}); }
  HostSide& Line() { return line_; }

  void Send(const Frame& frame) { line_.Write(Bytes(frame)); }
  static std::vector<uint8_t> Bytes(const Frame& frame) {
    std::vector<uint8_t> bytes{0xC5, frame.kind, uint8_t(frame.payload.size()), uint8_t(frame.payload.size() >> 8)};
    PutU32(bytes, frame.arg);
    PutU32(bytes, Crc32(bytes.data(), 8));
    if (frame.payload.empty()) return bytes;
    bytes.insert(bytes.end(), frame.payload.begin(), frame.payload.end());
    PutU32(bytes, Crc32(frame.payload.data(), frame.payload.size()));
    return bytes;
  }

  Frame Next(int limitMs = 5000) {
    std::vector<uint8_t> header;
    while (header.size() < 12) {
      const int byte = line_.Read(limitMs);
      if (byte < 0) return {};
      if (header.empty() && byte != 0xC5) {
        ADD_FAILURE() << "a byte between frames: " << byte;
        continue;
      }
      header.push_back(static_cast<uint8_t>(byte));
    }
    EXPECT_EQ(U32(header, 8), Crc32(header.data(), 8)) << "the header's CRC-32";
    Frame frame{header[1], U32(header, 4), {}};
    const size_t length = header[2] | header[3] << 8;
    std::vector<uint8_t> rest;
    for (size_t i = 0; i < (length > 0 ? length + 4 : 0); ++i) {
      const int byte = line_.Read(limitMs);
      if (byte < 0) return {};
      rest.push_back(static_cast<uint8_t>(byte));
    }
    if (length == 0) return frame;
    frame.payload.assign(rest.begin(), rest.begin() + length);
    EXPECT_EQ(U32(rest, length), Crc32(frame.payload.data(), length)) << "the payload's CRC-32";
    return frame;
  }

  void Begin(const std::vector<uint8_t>& app) {
    std::vector<uint8_t> header{'F', 'W', 'B', '1'};
    PutU32(header, static_cast<uint32_t>(app.size() + 8));
    BeginWith(header);
  }
  void BeginWith(const std::vector<uint8_t>& header) { Send({kBegin, 0, header}); }
  void Data(const std::vector<uint8_t>& app, size_t offset) { line_.Write(DataBytes(app, offset)); }
  void Stream(const std::vector<uint8_t>& app, size_t from, size_t to) {
    std::vector<uint8_t> bytes;
    for (size_t offset = from; offset < std::min(to, app.size()); offset += pageSize_) {
      const std::vector<uint8_t> frame = DataBytes(app, offset);
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    line_.Write(bytes);
  }
  void End(const std::vector<uint8_t>& app, uint32_t crc) {
    std::vector<uint8_t> payload;
    PutU32(payload, crc);
    Send({kEnd, static_cast<uint32_t>(app.size()), payload});
  }

  bool Finish(const std::vector<uint8_t>& app, size_t from) {
    size_t sent = from;
    for (size_t acked = from; acked < app.size();) {
      Stream(app, sent, acked + 4 * pageSize_);
      sent = std::min(app.size(), acked + 4 * pageSize_);
      acked = std::min(app.size(), acked + pageSize_);
      if (!(Next() == Ack(static_cast<uint32_t>(acked)))) return false;
    }
    End(app, Crc32(app.data(), app.size()));
    return Next() == Result(0);
  }

  bool Flash(const std::vector<uint8_t>& app) { return FlashWith(app, {}); }
  // The same with the header given (a signed one), or the unsigned one when empty.
  bool FlashWith(const std::vector<uint8_t>& app, const std::vector<uint8_t>& header) {
    Probe();
    if (Next().kind != kCaps) return false;
    if (header.empty()) {
      Begin(app);
    } else {
      BeginWith(header);
    }
    return Next() == Ack(0) && Finish(app, 0);
  }

 private:
  static uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
  }
  std::vector<uint8_t> DataBytes(const std::vector<uint8_t>& app, size_t offset) const {
    const size_t end = std::min(app.size(), offset + pageSize_);
    return Bytes({kData, static_cast<uint32_t>(offset), std::vector<uint8_t>(app.begin() + offset, app.begin() + end)});
  }

  HostSide line_;
  unsigned pageSize_;
};
