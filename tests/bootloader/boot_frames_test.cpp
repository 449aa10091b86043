// The simulation's second protocol, spoken by a scripted host in frames: the probe and the
// capabilities, a whole flash with a change of rate, each fault on the line costing one
// frame, and the ends that must leave no record or nothing erased.
#include "tests/bootloader/boot_fixture.h"
#include "tests/bootloader/frame_host.h"

namespace {

class BootFramesTest : public BootTest {
 protected:
  static Frame Caps(uint8_t rates, uint8_t frames) {
    std::vector<uint8_t> payload{2, rates, kPageSize & 0xFF, kPageSize >> 8, frames, 0};
    PutU32(payload, kMaxApp);
    return {kCaps, 0, payload};
  }

  // A probe answered, then BEGIN accepted.
  static void Begin(FrameHost& host, const std::vector<uint8_t>& app) {
    host.Probe();
    ASSERT_EQ(host.Next().kind, kCaps);
    host.Begin(app);
    ASSERT_EQ(host.Next(), Ack(0));
  }

  // A probe answered and the rate agreed; then the answer to CHECK at that rate, sent
  // from a port switched to speed (kind 0 when none came within limitMs).
  static Frame ProposeRate(FrameHost& host, uint32_t rate, speed_t speed, int limitMs = 5000) {
    host.Probe();
    EXPECT_EQ(host.Next().kind, kCaps);
    host.Send({kBaud, rate, {}});
    EXPECT_EQ(host.Next(), Ack(rate));
    host.Line().SetSpeed(speed);
    host.Send({kCheck, rate, {}});
    return host.Next(limitMs);
  }
};

TEST_F(BootFramesTest, TheProbeGetsTheCapabilitiesAndASyncStillGetsTheFirstProtocol) {
  struct Case {
    std::vector<std::string> args;
    Frame caps;  // kind 0: the probe is noise
  };
  const std::vector<uint8_t> app = App(150, 21);
  const std::vector<uint8_t> image = Read(Image("app", app));
  for (const Case& c : {Case{{}, Caps(0xFF, 4)}, Case{{"--max-baud", "1000000", "--frames", "1"}, Caps(0x7F, 1)},
                        Case{{"--max-baud", "115199"}, Caps(0, 4)}, Case{{"--protocol", "1"}, Frame{}}}) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    BootSimProcess sim;
    StartSim(sim, c.args);
    {
      FrameHost host(Link(), kPageSize);
      if (c.caps.kind != 0) {
        for (int probe = 0; probe < 2; ++probe) {  // an answered probe may be asked again
          host.Probe();
          EXPECT_EQ(host.Next(), c.caps);
        }
      } else {
        host.Probe();  // noise: the first byte back is the sync's answer
      }
      host.Line().Send(image, image.size());
      EXPECT_EQ(host.Line().Exchange(0xFF), 0xFF);
      EXPECT_EQ(host.Line().Exchange(0xFF), 0xFF);
    }
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  }
}

class BootFramesOnEitherLineTest : public BootFramesTest,
                                   public testing::WithParamInterface<std::vector<std::string>> {};

// Unpaced, and paced with an adapter's latency and a flash that takes its time: the
// threads that pace the line must lose and reorder nothing.
INSTANTIATE_TEST_SUITE_P(Lines, BootFramesOnEitherLineTest,
                         testing::Values(std::vector<std::string>{},
                                         std::vector<std::string>{"--pace", "--latency-ms", "2", "--page-ms", "1.5"}),
                         [](const testing::TestParamInfo<std::vector<std::string>>& info) {
                           return info.param.empty() ? "Unpaced" : "Paced";
                         });

TEST_P(BootFramesOnEitherLineTest, FlashesInFramesAfterAChangeOfRateAndWritesTheValidRecordLast) {
  BootSimProcess sim;
  StartSim(sim, GetParam());
  for (const std::vector<uint8_t>& app : {App(200, 22), App(kMaxApp, 23)}) {
    SCOPED_TRACE(app.size());
    {
      FrameHost host(Link(), kPageSize);
      EXPECT_EQ(ProposeRate(host, 2000000, B2000000), Ack(2000000));
      host.Begin(app);
      ASSERT_EQ(host.Next(), Ack(0));
      EXPECT_TRUE(host.Finish(app, 0));
    }
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
    const std::vector<uint8_t> flash = Read(FlashFile());
    EXPECT_EQ(std::vector<uint8_t>(flash.begin(), flash.begin() + app.size()), app);
  }
}

TEST_F(BootFramesTest, EachFaultOnTheLineCostsAFrameAndTheResendIsTaken) {
  const std::vector<uint8_t> app = App(300, 24);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    // What the host does after BEGIN until the device expects the third page (offset 128)
    // again and has acknowledged nothing past it.
    void (*play)(FrameHost&, const std::vector<uint8_t>&);
  };
  const Case cases[] = {
      {"a changed byte in the second frame", {"--bad-frame", "2"},
       [](FrameHost& host, const std::vector<uint8_t>& app) {
         host.Stream(app, 0, 4 * kPageSize);
         EXPECT_EQ(host.Next(), Ack(64));
         EXPECT_EQ(host.Next(), Nak(64, 1));  // the frames behind it are dropped unnamed
         host.Data(app, 64);
         EXPECT_EQ(host.Next(), Ack(128));
       }},
      {"the second frame lost", {},
       [](FrameHost& host, const std::vector<uint8_t>& app) {
         host.Data(app, 0);
         host.Stream(app, 128, 4 * kPageSize);
         EXPECT_EQ(host.Next(), Ack(64));
         EXPECT_EQ(host.Next(), Nak(64, 2));  // once, for the two frames past it
         host.Data(app, 64);
         EXPECT_EQ(host.Next(), Ack(128));
       }},
      {"the second frame's ACK lost", {"--lost-ack", "2"},
       [](FrameHost& host, const std::vector<uint8_t>& app) {
         host.Stream(app, 0, 2 * kPageSize);
         EXPECT_EQ(host.Next(), Ack(64));
         host.Data(app, 64);  // resent, as after the ACK's time-out
         EXPECT_EQ(host.Next(), Ack(128));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BootSimProcess sim;
    StartSim(sim, c.args);
    {
      FrameHost host(Link(), kPageSize);
      Begin(host, app);
      c.play(host, app);
      EXPECT_TRUE(host.Finish(app, 128));
    }
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));
  }
}

TEST_F(BootFramesTest, UnheardAtTheNewRateTheDeviceGoesBackTo9600AndTakesTheNextRate) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    speed_t speed;  // where the host's port goes after the rate's ACK
  };
  // A lost ACK to the CHECK leaves the device at the new rate, the host back at 9600: the
  // rate holds only once a frame comes after the ACK.
  const std::vector<uint8_t> app = App(200, 24);
  for (const Case& c : {Case{"a device deaf at 2 Mbaud", {"--deaf-baud", "2000000"}, B2000000},
                        Case{"a host whose port stays at 9600", {}, B9600},
                        Case{"the CHECK's ACK lost", {"--lost-check-ack"}, B2000000}}) {
    SCOPED_TRACE(c.name);
    BootSimProcess sim;
    StartSim(sim, c.args);
    FrameHost host(Link(), kPageSize);
    EXPECT_EQ(ProposeRate(host, 2000000, c.speed, 300), Frame{});  // the host's wait for the check
    // Back at 9600, the host proposes the next rate until the device, back there too
    // after its own wait for the check, agrees. That wait counts its milliseconds in
    // sleeps, which a loaded machine stretches: the bound is generous.
    host.Line().SetSpeed(B9600);
    Frame answer;
    for (int tries = 0; tries < 300 && answer.kind == 0; ++tries) {
      host.Send({kBaud, 1000000, {}});
      answer = host.Next(100);
    }
    EXPECT_EQ(answer, Ack(1000000));
    host.Line().SetSpeed(B1000000);
    host.Send({kCheck, 1000000, {}});
    EXPECT_EQ(host.Next(), Ack(1000000));
    host.Begin(app);
    EXPECT_EQ(host.Next(), Ack(0));
    EXPECT_TRUE(host.Finish(app, 0));
    EXPECT_EQ(Json(sim.NextLine()), Valid(app));  // the first reset since the start
  }
}

TEST_F(BootFramesTest, RefusesAPaceWithAFixedCharacterTimeOrAnUnknownProtocol) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--pace", "--char-us", "100"},
                                               std::vector<std::string>{"--protocol", "3"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    BootSimProcess sim;
    ASSERT_TRUE(sim.Start(SimArgs(args)));
    EXPECT_EQ(sim.WaitForExit(5000), 2);
  }
}

TEST_F(BootFramesTest, AWrongEndLeavesNoRecordAndARefusedHeaderErasesNothing) {
  const std::vector<uint8_t> old = App(100, 25), app = App(150, 26);
  Install(old);
  const std::vector<uint8_t> before = Read(FlashFile());
  BootSimProcess sim;
  EXPECT_EQ(StartSim(sim), Valid(old));
  for (const std::vector<uint8_t>& header :
       {std::vector<uint8_t>{'F', 'W', 'B', '2', 158, 0, 0, 0}, std::vector<uint8_t>{'F', 'W', 'B', '1', 8, 0, 0, 0},
        std::vector<uint8_t>{'F', 'W', 'B', '1', (kMaxApp + 9) & 0xFF, (kMaxApp + 9) >> 8, 0, 0}}) {
    SCOPED_TRACE(testing::PrintToString(header));
    {
      FrameHost host(Link(), kPageSize);
      host.Probe();
      ASSERT_EQ(host.Next().kind, kCaps);
      host.Send({kBegin, 0, header});
      EXPECT_EQ(host.Next(), Result(1));
    }
    EXPECT_EQ(Json(sim.NextLine()), Valid(old));
    EXPECT_EQ(Read(FlashFile()), before);
  }
  struct End {
    const char* name;
    uint32_t length, crc;
  };
  const uint32_t crc = Crc32(app.data(), app.size());
  for (const End& end : {End{"a CRC-32 that differs", 150, crc ^ 1}, End{"a length that differs", 149, crc}}) {
    SCOPED_TRACE(end.name);
    {
      FrameHost host(Link(), kPageSize);
      Begin(host, app);
      host.Stream(app, 0, app.size());
      EXPECT_EQ(host.Next(), Ack(64));
      EXPECT_EQ(host.Next(), Ack(128));
      EXPECT_EQ(host.Next(), Ack(150));
      std::vector<uint8_t> payload;
      PutU32(payload, end.crc);
      host.Send({kEnd, end.length, payload});
      EXPECT_EQ(host.Next(), Result(2));
    }
    EXPECT_EQ(Json(sim.NextLine()), Invalid());
  }
}

}  // namespace
