// Power cuts while a new application goes in over a valid old one, in either protocol: at
// every flash operation (--cut-after), and by kill -9 at 20 random moments of a transfer
// paced at 9600 baud. After each, the restarted device finds no valid record or a whole
// application (the old or the new one, never a mix), answers the sync, and a full flash
// then succeeds.
#include <cstdio>
#include <random>
#include <thread>

#include "tests/bootloader/boot_fixture.h"
#include "tests/bootloader/frame_host.h"
#include "tests/bootloader/host_side.h"

namespace {

class BootPowerCutTest : public BootTest {
 protected:
  // The record's erase, an erase and a write for each of the new application's 4 pages,
  // and the record's write.
  static constexpr int kOperations = 10;

  void SetUp() override {
    newImage_ = Image("new", new_);
    Install(old_);
    oldFlash_ = Read(FlashFile());
  }

  // The new application flashed by fwflash-cli, or in frames by the test; true when it
  // was reported flashed.
  bool FlashNew(bool frames) {
    if (!frames) return Flash(newImage_).status == 0;
    FrameHost host(Link(), kPageSize);
    return host.Flash(new_);
  }

  // The device after the cut: its state as found; then it takes the new application whole.
  json Restart() {
    BootSimProcess sim;
    const json state = StartSim(sim);
    FlashValid(sim, "new", new_);
    return state;
  }

  void CutAtEveryFlashOperation(bool frames) {
    for (int n = 0; n <= kOperations; ++n) {
      SCOPED_TRACE("--cut-after " + std::to_string(n));
      Write("flash.bin", oldFlash_);
      {
        BootSimProcess sim;
        EXPECT_EQ(StartSim(sim, {"--cut-after", std::to_string(n)}), Valid(old_));
        const bool flashed = FlashNew(frames);
        if (n == kOperations) {  // no operation left to cut
          EXPECT_TRUE(flashed);
          EXPECT_EQ(Json(sim.NextLine()), Valid(new_));
          continue;
        }
        EXPECT_FALSE(flashed);
        EXPECT_EQ(Json(sim.NextLine()), json({{"power", "cut"}, {"operations", n}}));
        EXPECT_EQ(sim.WaitForExit(5000), 3);
      }
      // Only the record's own write, cut after its first half, leaves a record: the magic
      // written last is in that half, and the application it describes is whole.
      EXPECT_EQ(Restart(), n + 1 < kOperations ? Invalid() : Valid(new_));
    }
  }

  void KillNineAtTwentyRandomMoments(bool frames) {
    // The paced transfer takes some 700 ms byte for byte (208 bytes, each a request and an
    // echo of 1.04 ms on the line), some 400 ms in frames. The moments are the same on
    // every run; where in the transfer each one falls varies with the machine's load, and
    // every place must end well.
    std::mt19937 random(24);
    std::uniform_int_distribution<int> momentUs(0, frames ? 450000 : 800000);
    int old = 0, none = 0, whole = 0;
    for (int k = 0; k < 20; ++k) {
      const int moment = momentUs(random);
      SCOPED_TRACE("kill -9 " + std::to_string(moment) + " us into the transfer");
      Write("flash.bin", oldFlash_);
      BootSimProcess sim;
      EXPECT_EQ(StartSim(sim, {"--char-us", "1042"}), Valid(old_));
      std::thread host([this, frames] { FlashNew(frames); });
      std::this_thread::sleep_for(std::chrono::microseconds(moment));  // the moment of the cut, not a wait
      sim.Kill();
      EXPECT_EQ(sim.WaitForExit(5000), -1);
      host.join();
      const json state = Restart();
      if (state == Valid(old_)) ++old;
      else if (state == Invalid()) ++none;
      else if (state == Valid(new_)) ++whole;
      else ADD_FAILURE() << state.dump();
    }
    std::printf("after kill -9: %d old application, %d none, %d new application\n", old, none, whole);
  }

  const std::vector<uint8_t> old_ = App(150, 11), new_ = App(200, 12);
  std::string newImage_;
  std::vector<uint8_t> oldFlash_;
};

TEST_F(BootPowerCutTest, AtEveryFlashOperationTheRecordIsGoneUntilTheNewOneIsWhole) {
  CutAtEveryFlashOperation(false);
}

TEST_F(BootPowerCutTest, AtEveryFlashOperationOfAFlashInFramesTheRecordIsGoneUntilTheNewOneIsWhole) {
  CutAtEveryFlashOperation(true);
}

TEST_F(BootPowerCutTest, AKillBeforeTheHeaderIsWholeKeepsTheOldApplication) {
  const std::vector<uint8_t> image = Read(newImage_);
  for (size_t headerBytes : {0, 4, 7}) {
    SCOPED_TRACE(std::to_string(headerBytes) + " header bytes sent");
    {
      BootSimProcess sim;
      StartSim(sim);
      HostSide host(Link());
      host.Send(image, headerBytes);
      sim.Kill();  // the device waits for the next header byte: nothing is erased yet
      EXPECT_EQ(sim.WaitForExit(5000), -1);
    }
    EXPECT_EQ(Restart(), Valid(old_));
    Write("flash.bin", oldFlash_);
  }
}

TEST_F(BootPowerCutTest, KillNineAtTwentyRandomMomentsLeavesTheOldTheNewOrNoApplication) {
  KillNineAtTwentyRandomMoments(false);
}

TEST_F(BootPowerCutTest, KillNineAtTwentyRandomMomentsOfAFlashInFramesLeavesTheOldTheNewOrNoApplication) {
  KillNineAtTwentyRandomMoments(true);
}

}  // namespace
