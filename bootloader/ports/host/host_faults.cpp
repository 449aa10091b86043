#include "bootloader/ports/host/host_faults.h"

#include <cstring>

#include "bootloader/core/fwboot_image.h"

FrameFollower::Place FrameFollower::Feed(uint8_t byte) {
  if (payloadLeft_ > 0) {
    --payloadLeft_;
    ++payloadIndex_;
    return Place::Payload;
  }
  if (filled_ == FWBOOT_FRAME_HEADER_SIZE) {
    std::memmove(window_, window_ + 1, FWBOOT_FRAME_HEADER_SIZE - 1);
    --filled_;
  }
  window_[filled_++] = byte;
  if (filled_ < FWBOOT_FRAME_HEADER_SIZE || window_[0] != FWBOOT_FRAME_START ||
      !fwboot_frame_header_valid(window_))
    return Place::Hunt;
  const size_t length = window_[2] | window_[3] << 8;
  payloadLeft_ = length > 0 ? length + FWBOOT_FRAME_CRC_SIZE : 0;
  payloadIndex_ = static_cast<size_t>(-1);  // the next byte is the payload's first
  filled_ = 0;
  return Place::HeaderEnd;
}

uint32_t FrameFollower::Arg() const { return fwboot_get_u32(window_ + 4); }

uint8_t BadFrame::Arrive(uint8_t byte) {
  switch (follower_.Feed(byte)) {
    case FrameFollower::Place::HeaderEnd:
      if (follower_.Kind() == FWBOOT_DATA) ++dataFrames_;
      return byte;
    case FrameFollower::Place::Payload:
      return follower_.Kind() == FWBOOT_DATA && dataFrames_ == n_ && follower_.PayloadIndex() == 0 ? byte ^ 0x01
                                                                                                   : byte;
    case FrameFollower::Place::Hunt: return byte;
  }
  return byte;
}

void LostAck::Leave(uint8_t byte, std::vector<uint8_t>& out) {
  const FrameFollower::Place place = follower_.Feed(byte);
  if (place == FrameFollower::Place::Payload) {
    out.push_back(byte);
    return;
  }
  if (!frames_ && !rateAgreed_) {
    out.push_back(byte);
    // BEGIN's ACK, the only one whose offset is 0, opens the frames; any other is a
    // BAUD's, and the CHECK's follows it.
    const bool ack = place == FrameFollower::Place::HeaderEnd && follower_.Kind() == FWBOOT_ACK;
    frames_ = ack && follower_.Arg() == 0;
    rateAgreed_ = ack && follower_.Arg() != 0 && checkAck_;
    return;
  }
  held_.push_back(byte);
  if (place == FrameFollower::Place::Hunt) return;
  const bool ack = follower_.Kind() == FWBOOT_ACK;
  bool lost;
  if (rateAgreed_) {
    lost = ack;
    checkAck_ = !lost;
    rateAgreed_ = false;
  } else {
    lost = ack && follower_.Arg() != 0 && ++dataAcks_ == n_;
    frames_ = follower_.Kind() != FWBOOT_RESULT && follower_.Kind() != FWBOOT_CAPS;
  }
  if (!lost) out.insert(out.end(), held_.begin(), held_.end());
  held_.clear();
}

void LostAck::Reset() {
  frames_ = rateAgreed_ = false;
  held_.clear();
  follower_.Reset();
}
