// The simulation built with the vendor's key (--key vendor.pub) on a flash of 8 pages of
// 256 bytes: the application's 5, the security counter's 2, the record's 1. Keys and
// signed images are made by fwflash-boot-image.
#pragma once

#include <algorithm>

#include "tests/bootloader/boot_fixture.h"
#include "tests/bootloader/frame_host.h"

class BootSignedTest : public BootTest {
 protected:
  static constexpr unsigned kSignedPage = 256;
  static constexpr unsigned kCounterAt = kSignedPage * (kPages - 3);
  static constexpr unsigned kRecordAt = kSignedPage * (kPages - 1);

  void SetUp() override {
    pageSize_ = kSignedPage;
    for (const char* name : {"vendor", "other"}) {
      const ProgramResult made = RunProgram({BuildPath("fwflash-boot-image"), "--new-key", Path(name)});
      ASSERT_EQ(made.status, 0) << made.err;
    }
  }

  // 600 bytes with a serial number's region at 16 (8 × 0xFF) and a MAC's at 100 (6 × 0x00).
  static std::vector<uint8_t> SignedApp(uint8_t seed) {
    std::vector<uint8_t> app = App(600, seed);
    std::fill(app.begin() + 16, app.begin() + 24, 0xFF);
    std::fill(app.begin() + 100, app.begin() + 106, 0x00);
    return app;
  }

  // The signed image of app: its header, then app.
  std::vector<uint8_t> Signed(const std::vector<uint8_t>& app, const std::string& version, int counter,
                              const std::string& key = "vendor") const {
    const ProgramResult made =
        RunProgram({BuildPath("fwflash-boot-image"), Write("signed.app", app), Path("signed.img"), "--sign",
                    Path(key) + ".key", "--version", version, "--counter", std::to_string(counter), "--region",
                    "16:8", "--region", "100:6"});
    EXPECT_EQ(made.status, 0) << made.err;
    return Read(Path("signed.img"));
  }
  static std::vector<uint8_t> HeaderOf(const std::vector<uint8_t>& image) {
    return std::vector<uint8_t>(image.begin(), image.begin() + image[4] + (image[5] << 8));
  }
  static std::vector<uint8_t> AppOf(const std::vector<uint8_t>& image) {
    return std::vector<uint8_t>(image.begin() + image[4] + (image[5] << 8), image.end());
  }

  json StartKeyed(BootSimProcess& sim, std::vector<std::string> extra = {}) const {
    extra.insert(extra.begin(), {"--key", Path("vendor.pub")});
    return StartSim(sim, extra);
  }

  // The image flashed byte for byte by fwflash-cli (frames false) or in frames by the
  // test; true when it was reported flashed.
  bool FlashSigned(const std::vector<uint8_t>& image, bool frames) const {
    if (!frames) return Flash(Write("flash.img", image)).status == 0;
    FrameHost host(Link(), kSignedPage);
    return host.FlashWith(AppOf(image), HeaderOf(image));
  }

  static json Keyed(json state, const std::string& version, int counter) {
    if (state["valid"] == true) state["version"] = version;
    state["counter"] = counter;
    return state;
  }
  static json Nothing(int counter) { return Keyed(Invalid(), "", counter); }
};
