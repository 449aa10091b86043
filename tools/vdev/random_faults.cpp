#include "tools/vdev/random_faults.h"

#include "device/download_protocol.h"

RandomFaults::RandomFaults(uint64_t seed, uint32_t imageSize) : state_(seed), imageSize_(imageSize) {}

uint64_t RandomFaults::Draw() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::vector<Fault> RandomFaults::Next() {
  Fault fault{};
  uint32_t place = Below(8);
  if (place == 0) return {};
  if (place == 1) {
    fault.point = FaultPoint::SyncAnswer;
  } else if (place <= 5 && imageSize_ > 0) {
    fault.point = Below(2) == 0 ? FaultPoint::Request : FaultPoint::Echo;
    fault.at = 1 + Below(imageSize_);
  } else {  // the end rounds, also for the data's share when no data is asked for
    fault.point = Below(2) == 0 ? FaultPoint::EndRequest : FaultPoint::EndEcho;
    fault.at = 1 + Below(protocol::kEndMarkerRounds);
  }
  if (Below(4) == 0) {
    fault.silent = true;
  } else {
    fault.flip = static_cast<uint8_t>(1 + Below(255));
  }
  return {fault};
}
