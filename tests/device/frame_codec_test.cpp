// Frames as bytes: the layout on the wire, and finding frames again in a stream with
// noise, damaged headers and damaged payloads, however the bytes are split on arrival.
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "device/crc32.h"
#include "device/frame_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encoded(uint8_t kind, uint32_t arg, const Bytes& payload = {}) {
  Bytes out;
  AppendFrame(out, kind, arg, payload.data(), static_cast<uint16_t>(payload.size()));
  return out;
}

// Every frame found in bytes, fed in pieces of the given size.
std::vector<Frame> Parsed(const Bytes& bytes, size_t piece) {
  FrameParser parser;
  std::vector<Frame> found;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    parser.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    for (Frame frame; parser.Next(frame);) found.push_back(frame);
  }
  return found;
}

Bytes LittleEndian(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

TEST(FrameCodecTest, AFrameIsLaidOutLittleEndianWithBothCrcs) {
  const Bytes payload{0xDE, 0xAD, 0xBE};
  const Bytes frame = Encoded(frames::kData, 0x01020304, payload);
  Bytes expected{0xC5, 0x04, 0x03, 0x00, 0x04, 0x03, 0x02, 0x01};
  const Bytes headerCrc = LittleEndian(Crc32(expected.data(), 8));
  expected.insert(expected.end(), headerCrc.begin(), headerCrc.end());
  expected.insert(expected.end(), payload.begin(), payload.end());
  const Bytes payloadCrc = LittleEndian(Crc32(payload.data(), payload.size()));
  expected.insert(expected.end(), payloadCrc.begin(), payloadCrc.end());
  EXPECT_EQ(frame, expected);
  EXPECT_EQ(Encoded(frames::kAck, 7).size(), 12u) << "no payload, no payload CRC";
}

class FrameRoundTrip : public testing::TestWithParam<size_t> {};

TEST_P(FrameRoundTrip, ComesBackWhateverTheSplitOfTheBytes) {
  Bytes payload(GetParam());
  std::iota(payload.begin(), payload.end(), uint8_t{0xC0});  // start bytes inside, too
  const Bytes bytes = Encoded(frames::kNak, 0xFFFFFFFF, payload);
  for (size_t piece : {size_t{1}, size_t{5}, bytes.size()}) {
    const std::vector<Frame> found = Parsed(bytes, piece);
    ASSERT_EQ(found.size(), 1u) << "pieces of " << piece;
    EXPECT_EQ(found[0].kind, frames::kNak);
    EXPECT_EQ(found[0].arg, 0xFFFFFFFFu);
    EXPECT_EQ(found[0].payload, payload);
    EXPECT_TRUE(found[0].payloadGood);
  }
}

INSTANTIATE_TEST_SUITE_P(PayloadLengths, FrameRoundTrip, testing::Values(0, 1, 10, frames::kMaxPayload));

TEST(FrameCodecTest, NoiseAndStrayStartBytesBeforeAndBetweenFramesArePassedOver) {
  Bytes bytes{0x00, 0xC5, 0x5A, 0xC5, 0xC5, 0x82, 0x00};
  const Bytes first = Encoded(frames::kAck, 256), second = Encoded(frames::kResult, 2);
  bytes.insert(bytes.end(), first.begin(), first.end());
  bytes.insert(bytes.end(), {0xFF, 0xC5, 0x01});
  bytes.insert(bytes.end(), second.begin(), second.end());
  for (size_t piece : {size_t{1}, size_t{3}, bytes.size()}) {
    const std::vector<Frame> found = Parsed(bytes, piece);
    ASSERT_EQ(found.size(), 2u) << "pieces of " << piece;
    EXPECT_EQ(found[0].arg, 256u);
    EXPECT_EQ(found[1].kind, frames::kResult);
  }
}

// A changed byte anywhere in a header costs that frame only: the next one is found.
class DamagedHeader : public testing::TestWithParam<size_t> {};

TEST_P(DamagedHeader, CostsOnlyItsFrame) {
  Bytes bytes = Encoded(frames::kAck, 64);
  bytes[GetParam()] ^= 0x10;
  const Bytes next = Encoded(frames::kAck, 128);
  bytes.insert(bytes.end(), next.begin(), next.end());
  const std::vector<Frame> found = Parsed(bytes, 1);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].arg, 128u);
}

INSTANTIATE_TEST_SUITE_P(EveryHeaderByte, DamagedHeader, testing::Range(size_t{0}, frames::kHeaderSize));

TEST(FrameCodecTest, ADamagedPayloadKeepsItsArgumentAndTheNextFrameIsFound) {
  Bytes bytes = Encoded(frames::kNak, 512, {1});
  bytes[frames::kHeaderSize] = 2;
  const Bytes next = Encoded(frames::kAck, 1024);
  bytes.insert(bytes.end(), next.begin(), next.end());
  const std::vector<Frame> found = Parsed(bytes, 4);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].arg, 512u);
  EXPECT_FALSE(found[0].payloadGood);
  EXPECT_TRUE(found[1].payloadGood);
}

TEST(FrameCodecTest, AHeaderThatClaimsMoreThanTheLargestPayloadIsNoFrame) {
  Bytes bytes{0xC5, 0x04, 0x01, 0x10, 0, 0, 0, 0};  // 4097 bytes
  const Bytes crc = LittleEndian(Crc32(bytes.data(), 8));
  bytes.insert(bytes.end(), crc.begin(), crc.end());
  const Bytes next = Encoded(frames::kAck, 9);
  bytes.insert(bytes.end(), next.begin(), next.end());
  const std::vector<Frame> found = Parsed(bytes, bytes.size());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].arg, 9u);
}

TEST(FrameCodecTest, AFrameCutShortWaitsForItsRestAndCountsAsBegun) {
  const Bytes bytes = Encoded(frames::kCaps, 0, Bytes(10, 1));
  FrameParser parser;
  Frame frame;
  EXPECT_FALSE(parser.Begun());
  parser.Feed(bytes.data(), bytes.size() - 1);
  EXPECT_TRUE(parser.Begun());
  EXPECT_FALSE(parser.Next(frame));
  parser.Feed(&bytes.back(), 1);
  EXPECT_TRUE(parser.Next(frame));
  EXPECT_FALSE(parser.Begun());
}

}  // namespace
