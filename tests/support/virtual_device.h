// The project's virtual device (build/fwflash-vdev) in a child process, for tests that
// talk to a device over a real pseudo-terminal.
//
//   VirtualDevice device({"--expect", file});   starts it; Path() is its terminal
//   device.Wait()                               its exit status (0: what --expect wanted)
//   the destructor stops it
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class VirtualDevice {
 public:
  explicit VirtualDevice(const std::vector<std::string>& options = {});
  ~VirtualDevice();
  VirtualDevice(const VirtualDevice&) = delete;
  VirtualDevice& operator=(const VirtualDevice&) = delete;

  const std::string& Path() const { return path_; }
  int Wait();  // exit status, or -1 when it did not end normally
  // What it wrote on its standard error (its report of the conversation).
  std::string Report() const;

 private:
  pid_t pid_ = -1;
  std::string path_, reportFile_;
};
