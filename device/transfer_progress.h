// What the transfer tells about its progress: one call per data byte the device accepted,
// or, in frames, one call per frame the device acknowledged. The progress window
// implements it with its bar; tests count the calls.
#pragma once

#include <cstdint>

class TransferProgress {
 public:
  virtual void ByteAccepted() = 0;
  // A front end that steps once per frame overrides this; by default each byte steps.
  virtual void FrameAccepted(uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) ByteAccepted();
  }

 protected:
  ~TransferProgress() = default;
};
