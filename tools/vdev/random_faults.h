// --random SEED: a fault drawn for each conversation in turn, so that a program meets wrong
// bytes and silence anywhere in the conversation, the same ones on every run for a seed.
//
//   RandomFaults(seed, imageSize)   the sequence for that seed and request count
//   Next()                          the next conversation's faults: none or one
//
// Of 8 conversations, on average: 1 has no fault, 1 a fault at the sync answer, 4 at the
// request or echo of one data byte (drawn uniformly from 1 to imageSize), 2 at the request
// or echo of end round 1 or 2. A fault is silence in 1 case of 4, else a wrong byte: the
// right one with a drawn, non-zero set of bits inverted, so every other byte value is as
// likely. The numbers come from SplitMix64, the same on every platform and build.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/vdev/fault.h"

class RandomFaults {
 public:
  RandomFaults(uint64_t seed, uint32_t imageSize);
  std::vector<Fault> Next();

 private:
  uint64_t Draw();
  // A number from 0 to n - 1 (n <= 2^32, so that the remainder's bias does not matter).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Draw() % n); }

  uint64_t state_;
  uint32_t imageSize_;
};
