// fwflash-cli from the outside: virtual devices on pseudo-terminals as stations, the
// program run with its options, its lines and JSON events read back.
#pragma once

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tools/vdev/vdev_process.h"

class CliTest : public testing::Test {
 protected:
  std::string Dir() const { return scratch_.Path(); }
  std::string Link(size_t i) const { return Dir() + "/station" + std::to_string(i); }

  // A file of the scratch directory with these bytes.
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = Dir() + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // A virtual device at Link(i), with its own options; --expect makes it judge.
  void StartDevice(size_t i, std::vector<std::string> options) {
    options.insert(options.end(), {"--link", Link(i), "--quiet", "--timeout", "60"});
    devices_.push_back(std::make_unique<VdevProcess>());
    ASSERT_TRUE(devices_.back()->Start(options)) << devices_.back()->Error();
  }
  int DeviceExit(size_t i) { return devices_.at(i)->WaitForExit(20000); }

  ProgramResult RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), BuildPath("fwflash-cli"));
    return RunProgram(args);
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The JSON events of a run with --json, of one kind.
  static std::vector<nlohmann::json> Events(const std::string& out, const std::string& kind) {
    std::vector<nlohmann::json> events;
    for (const std::string& line : Lines(out)) {
      nlohmann::json event = nlohmann::json::parse(line);
      if (event["event"] == kind) events.push_back(event);
    }
    return events;
  }

  static std::string Contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  // Waits (at most limitMs) until the file holds the text.
  static bool AwaitText(const std::string& path, const std::string& text, int limitMs) {
    for (int waited = 0; waited < limitMs; waited += 20) {
      if (Contents(path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  ScratchDir scratch_{"fwflash-cli-test"};
  std::vector<std::unique_ptr<VdevProcess>> devices_;
};
