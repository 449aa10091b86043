// The host's side of the conversation, played by a test on the device's terminal.
//
//   Send(image, n)     the sync, then the first n bytes, each on request and echoed
//   Exchange(byte)     the device's echo of a byte sent on its request; -1 for none
//   Read(ms) / Write(b)  one byte; Read gives -1 when nothing came within ms (5 s)
//   Write(bytes)         all of them at once; false when the device is gone
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class HostSide {
 public:
  explicit HostSide(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios raw{};
    tcgetattr(fd_, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd_, TCSANOW, &raw);
  }
  ~HostSide() { close(fd_); }

  int Read(int limitMs = 5000) {
    pollfd in{fd_, POLLIN, 0};
    uint8_t byte;
    return fd_ >= 0 && poll(&in, 1, limitMs) == 1 && read(fd_, &byte, 1) == 1 ? byte : -1;
  }
  void Write(uint8_t byte) { ASSERT_EQ(write(fd_, &byte, 1), 1); }
  bool Write(const std::vector<uint8_t>& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  void Send(const std::vector<uint8_t>& image, size_t n) {
    Write(0xA5);
    ASSERT_EQ(Read(), 0x5A);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(Exchange(image[i]), image[i]) << "byte " << i;
  }
  int Exchange(uint8_t byte) {
    if (Read() != 0x80) return -1;
    Write(byte);
    return Read();
  }

 private:
  int fd_;
};
