// What the transfer tells about its progress: one call per data byte the device accepted.
// The progress window implements it with its bar; tests count the calls.
#pragma once

class TransferProgress {
 public:
  virtual void ByteAccepted() = 0;

 protected:
  ~TransferProgress() = default;
};
