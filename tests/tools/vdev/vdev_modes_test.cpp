// fwflash-vdev's --replug and --random, with the test as the program: plain open, read and
// write on the device's link.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/download_protocol.h"
#include "tests/support/scratch_dir.h"
#include "tools/vdev/vdev_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The size of the image built into fwflash.
constexpr uint32_t kImageSize = 3612;

uint8_t ImageByte(uint32_t k) { return static_cast<uint8_t>(k * 37 + 0xA5); }

// A device that neither sends nor ends its side in this long has hung.
constexpr milliseconds kDeviceHangMs{30000};

// The program's end of the device's terminal.
class Port {
 public:
  explicit Port(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~Port() { Close(); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  bool Ok() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  bool Write(uint8_t byte) { return write(fd_, &byte, 1) == 1; }

  // The next byte; false when the terminal hung up, or when the device has ended its side
  // (deviceDone) without sending one.
  bool Read(uint8_t& byte, const std::function<bool()>& deviceDone) {
    for (auto hung = Clock::now() + kDeviceHangMs; Clock::now() < hung;) {
      if (short events = Poll(5)) return Take(events, byte);
      // Ended: what the device sent before it ended is there by now, or it never comes.
      if (deviceDone()) return Take(Poll(0), byte);
    }
    return false;
  }

  // Whether the terminal hangs up within ms: poll tells so, and a read brings nothing.
  bool HangsUpWithin(int ms) {
    auto until = Clock::now() + milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
      pollfd port{fd_, POLLIN, 0};
      if (left < 0 || poll(&port, 1, static_cast<int>(left)) != 1) return false;
      uint8_t byte;
      ssize_t count = read(fd_, &byte, 1);
      if (port.revents & POLLHUP) return count <= 0;
      if (count != 1) return false;
    }
  }

 private:
  // What poll tells within ms (a byte, a hang-up), or 0 for nothing.
  short Poll(int ms) {
    pollfd port{fd_, POLLIN, 0};
    return poll(&port, 1, ms) == 1 ? port.revents : 0;
  }
  bool Take(short events, uint8_t& byte) { return (events & POLLIN) && read(fd_, &byte, 1) == 1; }

  int fd_;
};

// The program's part of one conversation: the sync, then requests, bytes and echoes, then
// the two end rounds. Each byte is awaited until it comes or the device has ended the
// conversation (deviceDone), never for a fixed time: a busy machine may delay any byte.
// Stops at the first missing or wrong byte; what went wrong, or "" for a complete
// conversation. lastEchoDelayMs: a pause before the last echo is read.
//
// As in fwflash, a missing or wrong answer to the sync is no reason to stop: the requests
// follow. Unlike fwflash, which gives the answer 100 ms, the answer is told from the bytes
// alone, so that a busy machine that delays it changes nothing. After a silent answer the
// first byte is already the first request; a wrong answer may be 0x80 as well, and is
// known as one when a second 0x80 comes where the first echo belongs.
std::string Converse(Port& port, uint32_t size, const std::function<bool()>& deviceDone,
                     int lastEchoDelayMs = 0) {
  using namespace protocol;
  uint8_t byte;
  if (!port.Write(kSync)) return "sync not sent";
  if (!port.Read(byte, deviceDone)) return "no answer to the sync, nor a request";
  const bool firstRequestRead = byte == kByteRequest;
  for (uint32_t k = 1; k <= size + kEndMarkerRounds; ++k) {
    std::string at = k <= size ? "data byte " + std::to_string(k)
                               : "end round " + std::to_string(k - size);
    if (k > 1 || !firstRequestRead) {
      if (!port.Read(byte, deviceDone)) return "no request for " + at;
      if (byte != kByteRequest) return "wrong request for " + at;
    }
    uint8_t sent = k <= size ? ImageByte(k) : kEndMarker;
    if (!port.Write(sent)) return at + " not sent";
    if (k == size + kEndMarkerRounds) std::this_thread::sleep_for(milliseconds(lastEchoDelayMs));
    if (!port.Read(byte, deviceDone)) return "no echo of " + at;
    bool firstWasWrongAnswer = k == 1 && firstRequestRead && byte == kByteRequest && sent != kByteRequest;
    if (firstWasWrongAnswer && !port.Read(byte, deviceDone)) return "no echo of " + at;
    if (byte != sent) return "wrong echo of " + at;
  }
  return "";
}

class VdevModes : public testing::Test {
 protected:
  void Start(std::vector<std::string> options) {
    ASSERT_FALSE(dir_.empty());
    unlink((dir_ + "/report").c_str());  // a report from a device before is no answer
    options.insert(options.end(), {"--link", Link(), "--report", dir_ + "/report", "--quiet",
                                   "--timeout", "120"});
    ASSERT_TRUE(device_.Start(options)) << device_.Error();
  }

  std::string Link() const { return dir_ + "/com1"; }

  std::string LinkTarget() const {
    char target[256];
    ssize_t length = readlink(Link().c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
  }

  bool LinkExists() const {
    struct stat link;
    return lstat(Link().c_str(), &link) == 0;
  }

  // The device's report, key by key; empty before its first conversation has ended.
  std::map<std::string, std::string> Report() const { return ReadVdevReport(dir_ + "/report"); }

  // Whether the device has ended its side of that conversation: it has reported it.
  std::function<bool()> Ended(int conversation) const {
    return [this, conversation] { return std::atoi(Report()["conversation"].c_str()) >= conversation; };
  }

  // The device's report once key has value there (10 s at most).
  std::map<std::string, std::string> AwaitReport(const std::string& key, const std::string& value) {
    auto until = Clock::now() + std::chrono::seconds(10);
    std::map<std::string, std::string> values;
    while (Clock::now() < until) {
      values = Report();
      if (values[key] == value) return values;
      std::this_thread::sleep_for(milliseconds(2));
    }
    ADD_FAILURE() << "the report never had " << key << "=" << value;
    return values;
  }

  ScratchDir scratch_{"fwflash-vdev-modes-test"};
  std::string dir_ = scratch_.Path();
  VdevProcess device_;
};

// --replug

constexpr int kUnpluggedMs = 300;

TEST_F(VdevModes, ReplugGivesEachCompleteConversationANewTerminalBehindTheSameLink) {
  Start({"--size", "16", "--replug", std::to_string(kUnpluggedMs)});
  for (int conversation = 1; conversation <= 3; ++conversation) {
    SCOPED_TRACE("conversation " + std::to_string(conversation));
    std::string terminal = device_.TerminalPath();
    EXPECT_EQ(LinkTarget(), terminal);
    Port port(Link());
    ASSERT_TRUE(port.Ok());

    auto beforeUnplug = Clock::now();
    // A program slow to take the last echo still gets it before the board goes.
    EXPECT_EQ(Converse(port, 16, Ended(conversation), 50), "");
    auto report = AwaitReport("complete_conversations", std::to_string(conversation));
    EXPECT_EQ(report["conversation"], std::to_string(conversation));
    EXPECT_EQ(report["ending"], "complete");
    EXPECT_EQ(report["faults"], "none");

    // Unplugged: the port that stays open hangs up, and the link has gone by then. The
    // board comes back no sooner than kUnpluggedMs after it went, which was after the
    // conversation began.
    ASSERT_TRUE(port.HangsUpWithin(2000));
    EXPECT_FALSE(port.Write(0xA5));
    EXPECT_FALSE(LinkExists()) << "the link stays while the board is unplugged";

    ASSERT_TRUE(device_.AwaitTerminal()) << device_.Error();
    EXPECT_GE(Clock::now() - beforeUnplug, milliseconds(kUnpluggedMs));
    EXPECT_NE(device_.TerminalPath(), terminal);
    EXPECT_EQ(LinkTarget(), device_.TerminalPath());
  }

  EXPECT_EQ(device_.Stop(), 0);
  EXPECT_FALSE(LinkExists());
}

TEST_F(VdevModes, ReplugFollowsAProgramThatClosesItsPortAndWaitsForTheLink) {
  Start({"--size", "16", "--replug", "50"});
  for (int conversation = 1; conversation <= 3; ++conversation) {
    SCOPED_TRACE("conversation " + std::to_string(conversation));
    std::string terminal = device_.TerminalPath();
    {
      Port port(Link());
      ASSERT_TRUE(port.Ok());
      EXPECT_EQ(Converse(port, 16, Ended(conversation)), "");
    }
    ASSERT_TRUE(device_.AwaitTerminal()) << device_.Error();
    EXPECT_NE(device_.TerminalPath(), terminal) << "the path of a closed terminal came back at once";
    EXPECT_EQ(LinkTarget(), device_.TerminalPath());
    EXPECT_EQ(AwaitReport("complete_conversations", std::to_string(conversation))["ending"],
              "complete");
  }
  EXPECT_EQ(device_.Stop(), 0);
}

TEST_F(VdevModes, AConversationThatIsNotCompleteKeepsTheBoardPluggedIn) {
  Start({"--size", "16", "--replug", "50", "--fault", "echo@5=none"});
  std::string terminal = device_.TerminalPath();
  {
    Port port(Link());
    ASSERT_TRUE(port.Ok());
    EXPECT_EQ(Converse(port, 16, Ended(1)), "no echo of data byte 5");
  }
  auto report = AwaitReport("conversation", "1");
  EXPECT_EQ(report["ending"], "fault");
  EXPECT_EQ(report["faults"], "echo@5=none");
  EXPECT_EQ(report["complete_conversations"], "0");

  Port port(Link());
  ASSERT_TRUE(port.Ok());
  EXPECT_EQ(Converse(port, 16, Ended(2)), "no echo of data byte 5")
      << "the same terminal serves the next conversation";
  EXPECT_EQ(LinkTarget(), terminal);
}

// --random

// One conversation as both sides saw it.
struct Outcome {
  std::string faults, ending, program;  // the device's report, what the program found wrong
  bool operator==(const Outcome& other) const {
    return faults == other.faults && ending == other.ending && program == other.program;
  }
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
  *out << "{" << outcome.faults << ", " << outcome.ending << ", \"" << outcome.program << "\"}";
}

class VdevRandom : public VdevModes {
 protected:
  // Runs that many conversations of the built-in image's size against --random seed.
  std::vector<Outcome> Run(const std::string& seed, int conversations) {
    Start({"--random", seed, "--size", std::to_string(kImageSize)});
    std::vector<Outcome> outcomes;
    for (int conversation = 1; conversation <= conversations; ++conversation) {
      SCOPED_TRACE("seed " + seed + ", conversation " + std::to_string(conversation));
      Port port(Link());
      EXPECT_TRUE(port.Ok());
      std::string program = Converse(port, kImageSize, Ended(conversation));
      port.Close();
      auto report = AwaitReport("conversation", std::to_string(conversation));
      outcomes.push_back({report["faults"], report["ending"], program});
    }
    EXPECT_EQ(device_.Stop(), 0);
    return outcomes;
  }
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(VdevRandom, PlaysOneFaultOrNoneInEachConversationAndEachEnds) {
  std::vector<Outcome> outcomes = Run("2024", 30);
  std::map<std::string, int> seen;
  for (const Outcome& outcome : outcomes) {
    SCOPED_TRACE(testing::PrintToString(outcome));
    bool syncFault = Contains(outcome.faults, "sync");
    // The program stops at a fault, except at the sync's, as fwflash does.
    if (outcome.faults == "none" || syncFault) {
      EXPECT_EQ(outcome.ending, "complete");
      EXPECT_EQ(outcome.program, "");
    } else {
      EXPECT_EQ(outcome.ending, "fault");
      EXPECT_NE(outcome.program, "");
    }
    EXPECT_FALSE(Contains(outcome.faults, " ")) << "more than one fault";
    for (const char* kind : {"none", "sync", "request@", "echo@", "end-", "=none", "=0x"}) {
      if (Contains(outcome.faults, kind)) ++seen[kind];
    }
    if (Contains(outcome.faults, "=none") && !syncFault) {
      EXPECT_TRUE(outcome.program.rfind("no ", 0) == 0) << "silence is missing bytes";
    }
  }
  // Faults everywhere: at the sync, in the data and the end rounds, silent and wrong bytes,
  // and some conversations without one.
  for (const char* kind : {"none", "sync", "request@", "echo@", "end-", "=none", "=0x"}) {
    EXPECT_GT(seen[kind], 0) << kind;
  }
  EXPECT_LT(seen["none"], 15) << "most conversations fail";
}

TEST_F(VdevRandom, TheSameSeedPlaysTheSameFaults) {
  std::vector<Outcome> first = Run("77", 20);
  device_.Stop();
  std::vector<Outcome> second = Run("77", 20);
  EXPECT_EQ(first, second);
  std::vector<Outcome> other = Run("78", 20);
  EXPECT_NE(first, other);
}

TEST_F(VdevModes, OptionsThatDoNotGoTogetherAreRefused) {
  for (std::vector<std::string> options :
       {std::vector<std::string>{"--random", "1", "--fault", "sync=none"},
        std::vector<std::string>{"--replug", "100", "--expect", "/dev/null"},
        std::vector<std::string>{"--random", "-1"}, std::vector<std::string>{"--replug", "x"}}) {
    VdevProcess device;
    EXPECT_FALSE(device.Start(options)) << options[0];
    EXPECT_EQ(device.WaitForExit(5000), 2) << options[0];
  }
}

}  // namespace
