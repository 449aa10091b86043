// Power cuts while a signed application goes in over an older signed one: at every flash
// operation (the record's erase, the pages, the counter's two pages, the record) in
// either protocol, and by kill -9 at 20 seeded moments of a paced flash in frames. After
// each, the restarted device holds the vendor's old application, the new one or none,
// and its counter is the old one or the new, never lower; then the new one flashes.
#include <cstdio>
#include <random>
#include <thread>

#include "tests/bootloader/boot_signed_fixture.h"

namespace {

class BootSignedPowerCutTest : public BootSignedTest {
 protected:
  void SetUp() override {
    BootSignedTest::SetUp();
    newImage_ = Signed(new_, "2.0.0", 6);
    BootSimProcess sim;
    StartKeyed(sim);
    ASSERT_TRUE(FlashSigned(Signed(old_, "1.0.0", 5), true));
    ASSERT_EQ(Json(sim.NextLine()), Keyed(Valid(old_), "1.0.0", 5));
    oldFlash_ = Read(FlashFile());
  }

  // The state the restarted device finds, which must be one a power cut may leave; then
  // the new application flashes. Counts what was found in found_.
  void Restart() {
    BootSimProcess sim;
    const json state = StartKeyed(sim);
    const std::vector<json> allowed{Keyed(Valid(old_), "1.0.0", 5), Nothing(5), Nothing(6),
                                    Keyed(Valid(new_), "2.0.0", 6)};
    const auto at = std::find(allowed.begin(), allowed.end(), state);
    if (at == allowed.end()) ADD_FAILURE() << state.dump();
    else ++found_[at - allowed.begin()];
    ASSERT_TRUE(FlashSigned(newImage_, true));
    EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(new_), "2.0.0", 6));
  }

  const std::vector<uint8_t> old_ = SignedApp(11), new_ = SignedApp(12);
  std::vector<uint8_t> newImage_, oldFlash_;
  int found_[4] = {};  // old, none at 5, none at 6, new
};

class EveryOperation : public BootSignedPowerCutTest, public testing::WithParamInterface<bool> {};

TEST_P(EveryOperation, LeavesTheOldTheNewOrNoApplicationAndNeverALowerCounter) {
  bool flashed = false;
  int n = 0;
  for (; !flashed && n < 40; ++n) {
    SCOPED_TRACE("--cut-after " + std::to_string(n));
    Write("flash.bin", oldFlash_);
    {
      BootSimProcess sim;
      StartKeyed(sim, {"--cut-after", std::to_string(n)});
      flashed = FlashSigned(newImage_, GetParam());
      if (flashed) {
        EXPECT_EQ(Json(sim.NextLine()), Keyed(Valid(new_), "2.0.0", 6));
        continue;
      }
      EXPECT_EQ(Json(sim.NextLine()), json({{"power", "cut"}, {"operations", n}}));
      EXPECT_EQ(sim.WaitForExit(5000), 3);
    }
    Restart();
  }
  EXPECT_TRUE(flashed);
  // The record's erase, 3 pages erased and written, the counter's write and its older
  // page's erase, the record's write.
  EXPECT_EQ(n - 1, 10);
  EXPECT_GT(found_[2], 0) << "a cut between the counter and the record";
}

INSTANTIATE_TEST_SUITE_P(Protocols, EveryOperation, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "InFrames" : "ByteForByte";
                         });

TEST_F(BootSignedPowerCutTest, KillNineAtTwentyRandomMomentsOfASignedFlashInFrames) {
  // The paced flash in frames takes some 900 ms (784 bytes of 1.04 ms, and the frames'
  // own); where each moment falls varies with the machine's load, and every place must
  // end well.
  std::mt19937 random(30);
  std::uniform_int_distribution<int> momentUs(0, 1000000);
  for (int k = 0; k < 20; ++k) {
    const int moment = momentUs(random);
    SCOPED_TRACE("kill -9 " + std::to_string(moment) + " us into the transfer");
    Write("flash.bin", oldFlash_);
    {
      BootSimProcess sim;
      StartKeyed(sim, {"--char-us", "1042"});
      std::thread host([this] { FlashSigned(newImage_, true); });
      std::this_thread::sleep_for(std::chrono::microseconds(moment));  // the moment of the cut, not a wait
      sim.Kill();
      EXPECT_EQ(sim.WaitForExit(5000), -1);
      host.join();
    }
    Restart();
  }
  std::printf("after kill -9: %d old application, %d none (counter 5), %d none (counter 6), %d new\n", found_[0],
              found_[1], found_[2], found_[3]);
}

}  // namespace
