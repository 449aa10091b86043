// A pseudo-terminal whose far end the test itself plays: COM1 (FWFLASH_COM1) is its
// terminal, the test reads and writes the device's side, and can make the device vanish.
#pragma once

#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class PseudoTerminalPair {
 public:
  PseudoTerminalPair() {
    char name[256];
    if (openpty(&device_, &terminal_, name, nullptr, nullptr) == 0) path_ = name;
    setenv("FWFLASH_COM1", path_.c_str(), 1);
  }
  ~PseudoTerminalPair() { Vanish(); }
  PseudoTerminalPair(const PseudoTerminalPair&) = delete;
  PseudoTerminalPair& operator=(const PseudoTerminalPair&) = delete;

  bool Ok() const { return !path_.empty(); }
  int Device() const { return device_; }
  int Terminal() const { return terminal_; }  // the test's own descriptor of COM1

  // Unplugged: every descriptor of the terminal is hung up.
  void Vanish() {
    if (device_ >= 0) close(device_);
    if (terminal_ >= 0) close(terminal_);
    device_ = terminal_ = -1;
  }

 private:
  int device_ = -1, terminal_ = -1;
  std::string path_;
};
