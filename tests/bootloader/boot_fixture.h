// The reference bootloader's simulation against fwflash-cli, on a small flash (8 pages of
// 64 bytes, the last for the valid record) so that every cut point is quick to try.
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "device/crc32.h"
#include "tests/bootloader/boot_sim_process.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

using nlohmann::json;

class BootTest : public testing::Test {
 protected:
  static constexpr unsigned kPageSize = 64;
  static constexpr unsigned kPages = 8;
  static constexpr unsigned kMaxApp = kPageSize * (kPages - 1);

  std::string Path(const std::string& name) const { return scratch_.Path() + "/" + name; }
  std::string Link() const { return Path("device"); }
  std::string FlashFile() const { return Path("flash.bin"); }

  // An application of n bytes, different for every seed.
  static std::vector<uint8_t> App(size_t n, uint8_t seed) {
    std::vector<uint8_t> app(n);
    for (size_t i = 0; i < n; ++i) app[i] = static_cast<uint8_t>(i * 7 + seed * 31 + (i >> 3));
    return app;
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
  }

  // The image fwflash-boot-image makes of the application.
  std::string Image(const std::string& name, const std::vector<uint8_t>& app) const {
    const ProgramResult made =
        RunProgram({BuildPath("fwflash-boot-image"), Write(name + ".app", app), Path(name + ".img")});
    EXPECT_EQ(made.status, 0) << made.err;
    return Path(name + ".img");
  }

  // The simulation's options for Link() and FlashFile(), then extra.
  std::vector<std::string> SimArgs(const std::vector<std::string>& extra) const {
    std::vector<std::string> args{"--link", Link(), "--flash", FlashFile(), "--page-size",
                                  std::to_string(pageSize_), "--pages", std::to_string(kPages)};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // The simulation, resetting after the application starts and waiting long for a sync;
  // its first line, the state found.
  json StartSim(BootSimProcess& sim, std::vector<std::string> extra = {}) const {
    extra.insert(extra.begin(), {"--window-ms", "60000", "--reset"});
    EXPECT_TRUE(sim.Start(SimArgs(extra)));
    return Json(sim.NextLine());
  }

  // The application flashed into the running simulation, which then finds it valid.
  void FlashValid(BootSimProcess& sim, const std::string& name, const std::vector<uint8_t>& app) const {
    const ProgramResult run = Flash(Image(name, app));
    ASSERT_EQ(run.status, 0) << run.out;
    ASSERT_EQ(Json(sim.NextLine()), Valid(app));
  }
  // A flash file that holds the application, valid.
  void Install(const std::vector<uint8_t>& app) const {
    BootSimProcess sim;
    StartSim(sim);
    FlashValid(sim, "installed", app);
  }

  // fwflash-cli in the byte-for-byte protocol, which a headered image would otherwise only
  // get from a device that does not answer the probe.
  ProgramResult Flash(const std::string& image, std::vector<std::string> extra = {}) const {
    std::vector<std::string> args{BuildPath("fwflash-cli"), "--port", Link(), "--firmware", image, "--protocol", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(args);
  }

  static json Json(const std::string& line) { return json::parse(line, nullptr, false); }

  static json Valid(const std::vector<uint8_t>& app) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%08X", Crc32(app.data(), app.size()));
    return json{{"valid", true}, {"length", app.size()}, {"crc32", crc}};
  }
  static json Invalid() { return json{{"valid", false}}; }

  unsigned pageSize_ = kPageSize;  // a signed header needs a larger page
  ScratchDir scratch_{"fwflash-boot-test"};
};
