// The faults the simulation puts on its line for the second protocol's tests, found by
// following the frames in each direction as a receiver hunts for them.
//
//   FrameFollower    where a byte stands: the end of a valid header, a payload byte, neither
//   BadFrame(n)      Arrive(byte): the n-th DATA frame's first payload byte changed
//   LostAck(n, check) Leave(byte, out): what goes on the line; the n-th ACK of a DATA frame
//                    never does, nor (check) the first CHECK's ACK
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bootloader/core/fwboot_frames.h"

class FrameFollower {
 public:
  enum class Place { Hunt, HeaderEnd, Payload };
  Place Feed(uint8_t byte);
  uint8_t Kind() const { return window_[1]; }
  uint32_t Arg() const;
  size_t PayloadIndex() const { return payloadIndex_; }
  void Reset() { filled_ = payloadLeft_ = 0; }

 private:
  uint8_t window_[FWBOOT_FRAME_HEADER_SIZE] = {};
  size_t filled_ = 0, payloadLeft_ = 0, payloadIndex_ = 0;
};

class BadFrame {
 public:
  explicit BadFrame(long long n) : n_(n) {}
  uint8_t Arrive(uint8_t byte);

 private:
  long long n_, dataFrames_ = 0;
  FrameFollower follower_;
};

// Frames go back to back from BEGIN's ACK until the RESULT, so there a header can be held
// until it is whole without stalling the first protocol, whose bytes pass as they come.
class LostAck {
 public:
  LostAck(long long n, bool checkAck) : n_(n), checkAck_(checkAck) {}
  void Leave(uint8_t byte, std::vector<uint8_t>& out);
  void Reset();  // at a reset of the device

 private:
  long long n_, dataAcks_ = 0;
  bool checkAck_;
  bool frames_ = false;
  bool rateAgreed_ = false;  // a BAUD's ACK went: the next frame answers the CHECK
  std::vector<uint8_t> held_;
  FrameFollower follower_;
};
