// The opening of a conversation against a device the test plays on the other end of a
// pseudo-terminal: which protocol an answer makes, and what a late one means.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "attempts/conversation.h"
#include "device/frame_codec.h"
#include "tests/support/pseudo_terminal_pair.h"

namespace {

class Collected : public FailureReporter {
 public:
  void Report(const DeviceFailure& failure) override { steps.push_back(failure.step); }
  std::vector<DeviceStep> steps;
};

// What a device answers the probe with: version 2, every rate, pages of 256 bytes, four
// frames in flight, an area of 64 KiB.
std::vector<uint8_t> Capabilities() {
  const uint8_t payload[10] = {2, 0xFF, 0x00, 0x01, 4, 0, 0x00, 0x00, 0x01, 0x00};
  std::vector<uint8_t> frame;
  AppendFrame(frame, frames::kCaps, 0, payload, sizeof payload);
  return frame;
}

class ConversationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line_.Ok());
    port_.reset(OpenPort(getenv("FWFLASH_COM1"), collected_));
    ASSERT_NE(port_, nullptr);
  }
  // The device's side: waits for the byte the host sends, then answers.
  void AnswerAfter(uint8_t awaited, const std::vector<uint8_t>& answer) {
    for (uint8_t byte = 0; byte != awaited;)
      if (read(line_.Device(), &byte, 1) != 1) return;
    ASSERT_EQ(write(line_.Device(), answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
  }
  void Put(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(write(line_.Device(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    tcdrain(line_.Device());
  }

  PseudoTerminalPair line_;
  Collected collected_;
  OwnedPort port_;
  Opening opening_;
};

TEST_F(ConversationTest, AnAnsweredProbeOpensProtocolTwoWithTheDevicesCapabilities) {
  std::thread device([this] { AnswerAfter(frames::kProbe, Capabilities()); });
  EXPECT_TRUE(OpenConversation(port_.get(), Protocol::Auto, opening_, collected_));
  device.join();
  EXPECT_TRUE(opening_.framed);
  EXPECT_EQ(opening_.caps.pageSize, 256);
  EXPECT_EQ(opening_.caps.framesInFlight, 4);
  EXPECT_EQ(opening_.caps.areaSize, 65536u);
  EXPECT_TRUE(collected_.steps.empty());
}

// The device answered the probe only after the host had given up on it and sent the
// sync: it heard the sync after its answer, and acknowledges it.
TEST_F(ConversationTest, UnderAutoACapabilityFrameAfterTheSyncIsFollowedByProtocolOne) {
  std::vector<uint8_t> answer = Capabilities();
  answer.push_back(0x5A);
  std::thread device([this, answer] { AnswerAfter(0xA5, answer); });
  EXPECT_TRUE(OpenConversation(port_.get(), Protocol::Auto, opening_, collected_));
  device.join();
  EXPECT_FALSE(opening_.framed);
  EXPECT_TRUE(collected_.steps.empty());
}

// A slow device under auto: the probe's answer came after the sync's wait too, ahead of
// the acknowledgement and the requests. The image still goes in the first protocol.
TEST_F(ConversationTest, UnderAutoACapabilityFrameLaterThanTheSyncsWaitIsSkippedBeforeTheRequests) {
  std::thread heard([this] { AnswerAfter(0xA5, {}); });
  EXPECT_FALSE(OpenConversation(port_.get(), Protocol::Auto, opening_, collected_));
  heard.join();
  ASSERT_EQ(collected_.steps, std::vector<DeviceStep>{DeviceStep::ReadByte});
  collected_.steps.clear();
  std::vector<uint8_t> late = Capabilities();
  late.push_back(0x5A);
  Put(late);
  const uint8_t image[] = {0x11, 0x5A, 0xC5};
  class Counted : public TransferProgress, public RateEvents {
   public:
    void ByteAccepted() override { ++bytes; }
    void RateChanged(uint32_t, uint32_t, bool) override {}
    int bytes = 0;
  } counted;
  bool sent = false;
  uint32_t baud = 0;
  std::thread host([&] {
    sent = SendImage(port_.get(), opening_, image, sizeof image, kDefaultMaxBaud, counted, counted, collected_, baud,
                     true);
  });
  std::vector<uint8_t> received;  // the device's side: requests, then echoes
  for (int request = 0; request < static_cast<int>(sizeof image) + 2; ++request) {
    uint8_t byte = 0;
    Put({0x80});
    ASSERT_EQ(read(line_.Device(), &byte, 1), 1);
    received.push_back(byte);
    Put({byte});
  }
  host.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(received, (std::vector<uint8_t>{0x11, 0x5A, 0xC5, 0xFF, 0xFF}));
  EXPECT_EQ(counted.bytes, 3);
  EXPECT_TRUE(collected_.steps.empty());
}

TEST_F(ConversationTest, ProtocolTwoWithoutAnAnswerFailsAsTheSyncAndSendsNothingMore) {
  EXPECT_FALSE(OpenConversation(port_.get(), Protocol::Two, opening_, collected_));
  EXPECT_TRUE(opening_.refused);
  EXPECT_EQ(collected_.steps, std::vector<DeviceStep>{DeviceStep::ReadByte});
  uint32_t baud = 0;
  class Counted : public TransferProgress, public RateEvents {
   public:
    void ByteAccepted() override {}
    void RateChanged(uint32_t, uint32_t, bool) override {}
  } counted;
  const uint8_t image[] = {'F', 'W', 'B', '1', 9, 0, 0, 0, 1};
  EXPECT_FALSE(SendImage(port_.get(), opening_, image, sizeof image, kDefaultMaxBaud, counted, counted,
                         collected_, baud, false));
  uint8_t sent[4];
  EXPECT_EQ(read(line_.Device(), sent, sizeof sent), 1);
  EXPECT_EQ(sent[0], frames::kProbe) << "the probe alone";
}

// Station mode reads what came after an attempt's wait before its next attempt.
TEST_F(ConversationTest, ALateAnswerIsTakenAsTheProtocolItOpens) {
  struct Case {
    Protocol protocol;
    std::vector<uint8_t> waiting;
    bool taken, framed;
  };
  std::vector<uint8_t> capsThenAck = Capabilities();
  capsThenAck.push_back(0x5A);
  for (const Case& c : {Case{Protocol::Auto, Capabilities(), true, true}, Case{Protocol::Auto, capsThenAck, true, false},
                        Case{Protocol::Auto, {0x5A}, true, false}, Case{Protocol::Auto, {}, false, false},
                        Case{Protocol::Two, Capabilities(), true, true}, Case{Protocol::Two, {0x5A}, false, false},
                        Case{Protocol::One, {0x5A}, true, false}}) {
    Put(c.waiting);
    pollfd arrived{line_.Terminal(), POLLIN, 0};  // the host's end has it to read
    if (!c.waiting.empty()) {
      ASSERT_EQ(poll(&arrived, 1, 5000), 1);
    }
    EXPECT_EQ(TakeLateOpening(port_.get(), c.protocol, opening_), c.taken) << c.waiting.size();
    EXPECT_EQ(opening_.framed, c.framed) << c.waiting.size();
  }
}

}  // namespace
