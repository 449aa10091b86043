// The probe on a pseudo-terminal whose device side the test plays: what goes on the wire,
// how long an unanswered probe waits, and what each kind of answer makes of it, in time
// and late.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/frame_codec.h"
#include "device/frame_protocol.h"
#include "device/port_probe.h"
#include "tests/device/played_port_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// A device of 2 Mbaud and 1 Mbaud, 256-byte pages, 4 frames, 248 KiB.
const Bytes kCapsPayload{2, 0xA0, 0x00, 0x01, 4, 0, 0x00, 0xE0, 0x03, 0x00};


class FrameProbeTest : public PlayedPortTest {
 protected:
  // What the device side has received, once nothing more arrives for 100 ms.
  Bytes DeviceReceived() const {
    Bytes bytes;
    pollfd in{pair_.Device(), POLLIN, 0};
    uint8_t byte;
    while (poll(&in, 1, 100) == 1 && read(pair_.Device(), &byte, 1) == 1) bytes.push_back(byte);
    return bytes;
  }

  DeviceCapabilities caps_;
};

TEST_F(FrameProbeTest, AProbeNobodyAnswersIsOneByteAndEndsAfterItsWaitUnreported) {
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(ProbeDevice(port_.get(), caps_, reporter_));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 45);
  EXPECT_LT(ms, 1000) << "the short wait, not the required answer's 2 s";
  EXPECT_TRUE(reporter_.Steps().empty());
  EXPECT_EQ(DeviceReceived(), Bytes{frames::kProbe});
}

TEST_F(FrameProbeTest, ACapsFrameGivesTheDevicesCapabilities) {
  DeviceSends(CapsFrame(kCapsPayload));
  ASSERT_TRUE(ProbeDevice(port_.get(), caps_, reporter_));
  EXPECT_EQ(caps_.version, 2);
  EXPECT_EQ(caps_.rates, 0xA0);
  EXPECT_EQ(caps_.pageSize, 256);
  EXPECT_EQ(caps_.framesInFlight, 4);
  EXPECT_EQ(caps_.areaSize, 248u * 1024);
  EXPECT_TRUE(reporter_.Steps().empty());
}

// A required answer is waited for as long as a first request: a device that answers
// well after the short wait, as a loaded machine's simulation may, is still taken.
TEST_F(FrameProbeTest, TheLongWaitTakesAnAnswerThatComesAfterTheShortOne) {
  std::thread slow([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DeviceSends(CapsFrame(kCapsPayload));
  });
  EXPECT_TRUE(ProbeDevice(port_.get(), caps_, reporter_, 2000));
  slow.join();
  EXPECT_EQ(caps_.pageSize, 256);
  EXPECT_EQ(DeviceReceived(), Bytes{frames::kProbe}) << "the probe once";
}

// Answers that are no CAPS frame: reported, never taken for a device in frames.
class WrongProbeAnswer : public FrameProbeTest, public testing::WithParamInterface<int> {};

TEST_P(WrongProbeAnswer, IsReportedAsTheProbesAnswer) {
  Bytes answer;
  switch (GetParam()) {
    case 0: answer = {0x5A}; break;                                // a sync's acknowledgement
    case 1: answer = {0x3F}; break;                                // an echo
    case 2: AppendFrame(answer, frames::kAck, 0); break;           // another frame
    case 3: answer = CapsFrame(kCapsPayload); answer[frames::kHeaderSize] ^= 1; break;  // damaged
    case 4: answer = CapsFrame(kCapsPayload); answer.resize(15); break;       // cut short
  }
  DeviceSends(answer);
  EXPECT_FALSE(ProbeDevice(port_.get(), caps_, reporter_));
  EXPECT_EQ(reporter_.Steps(), std::vector<DeviceStep>{DeviceStep::ProbeAnswer});
}

INSTANTIATE_TEST_SUITE_P(Answers, WrongProbeAnswer, testing::Range(0, 5));

TEST_F(FrameProbeTest, ALateCapsFrameIsTakenAndWhatFollowsItStaysToBeRead) {
  EXPECT_FALSE(TakeLateCapabilities(port_.get(), caps_)) << "nothing has come";
  Bytes late = CapsFrame(kCapsPayload);
  late.push_back(0x5A);
  DeviceSends(late);
  ASSERT_EQ(TakeLateAnswer(port_.get(), caps_), LateAnswer::Capabilities);
  EXPECT_EQ(caps_.pageSize, 256);
  EXPECT_TRUE(TakeLateAcknowledgement(port_.get()));
}

TEST_F(FrameProbeTest, ALateAcknowledgementIsToldApartFromACapsFrame) {
  DeviceSends({0x00, 0x5A, 0x80});
  EXPECT_EQ(TakeLateAnswer(port_.get(), caps_), LateAnswer::Acknowledgement);
  uint8_t next = 0;
  EXPECT_TRUE(TakeArrivedByte(port_.get(), next));
  EXPECT_EQ(next, 0x80) << "the request after the acknowledgement stays";
}

TEST_F(FrameProbeTest, TheRestOfALateCapsFrameThatHasBegunIsWaitedFor) {
  const Bytes frame = CapsFrame(kCapsPayload);
  DeviceSends(Bytes(frame.begin(), frame.begin() + 5));
  std::thread rest([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    DeviceSends(Bytes(frame.begin() + 5, frame.end()));
  });
  EXPECT_TRUE(TakeLateCapabilities(port_.get(), caps_));
  rest.join();
}

}  // namespace
