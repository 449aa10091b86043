#include "pseudo_terminal/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "pseudo_terminal/stop_signal.h"

namespace {

// How often the device looks whether a program has opened the terminal: a closed
// terminal reports a hang-up on every wait, so there is nothing to wait on.
constexpr auto kOpenPollInterval = std::chrono::milliseconds(5);

timespec Remaining(Clock::time_point until) {
  auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
  if (left.count() < 0) left = left.zero();
  return timespec{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
}

}  // namespace

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Create(const std::string& link, const std::vector<uint8_t>& leftover,
                            std::string& error) {
  link_ = link;
  leftover_ = leftover;
  return OpenTerminal(error);
}

bool PseudoTerminal::LeaveBytes(std::string& error) {
  // The terminal's own side counts what waits in its input; the bytes pass through the
  // kernel's buffers on their way there.
  const int terminal = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int waiting = 0;
  bool written = terminal >= 0 &&
                 write(master_, leftover_.data(), leftover_.size()) == static_cast<ssize_t>(leftover_.size());
  while (written && ioctl(terminal, FIONREAD, &waiting) == 0 && waiting < static_cast<int>(leftover_.size())) {
    timespec pause = {0, 1000000};
    nanosleep(&pause, nullptr);
  }
  if (terminal >= 0) close(terminal);
  if (!written) error = std::string("cannot leave bytes in the terminal: ") + std::strerror(errno);
  leftover_.clear();
  return written;
}

bool PseudoTerminal::OpenTerminal(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  const char* name = master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0
                         ? ptsname(master_) : nullptr;
  if (name == nullptr) {
    error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  path_ = name;
  if (heldPath_ >= 0) close(heldPath_);
  heldPath_ = -1;
  // Raw before anyone opens it: a program that sets less than we do still gets every byte.
  termios settings{};
  tcgetattr(master_, &settings);
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL;
  cfsetspeed(&settings, B9600);
  tcsetattr(master_, TCSANOW, &settings);
  if (!leftover_.empty() && !LeaveBytes(error)) return false;

  if (!link_.empty()) {
    // Moved into place in one step: whoever opens the link finds the old or the new one.
    std::string fresh = link_ + ".new";
    unlink(fresh.c_str());
    if (symlink(path_.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link_.c_str()) != 0) {
      error = "cannot link " + link_ + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

void PseudoTerminal::CloseKeepingPath() {
  heldPath_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  close(master_);
  master_ = -1;
}

bool PseudoTerminal::HangUp(std::string& error) {
  CloseKeepingPath();
  return OpenTerminal(error);
}

void PseudoTerminal::Unplug() {
  // The link first: whoever sees the hang-up finds the link gone, however busy the machine.
  if (!link_.empty()) unlink(link_.c_str());
  CloseKeepingPath();
}

void PseudoTerminal::Close() {
  if (heldPath_ >= 0) close(heldPath_);
  heldPath_ = -1;
  if (master_ < 0) return;
  close(master_);
  master_ = -1;
  if (!link_.empty()) unlink(link_.c_str());
}

ReadResult PseudoTerminal::Wait(Clock::time_point until) {
  for (;;) {
    if (StopRequested()) return ReadResult::Stopped;
    pollfd master{master_, POLLIN, 0};
    timespec left = Remaining(until);
    bool forever = until == Clock::time_point::max();
    int ready = ppoll(&master, 1, forever ? nullptr : &left, WaitMask());
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return ReadResult::TimedOut;
    if (ready < 0 || (master.revents & POLLIN)) return ReadResult::Byte;
    return ReadResult::Closed;
  }
}

ReadResult PseudoTerminal::ReadByte(uint8_t& byte, Clock::time_point until) {
  size_t count = 0;
  return ReadSome(&byte, 1, count, until);
}

ReadResult PseudoTerminal::ReadSome(uint8_t* bytes, size_t capacity, size_t& count, Clock::time_point until) {
  for (;;) {
    ReadResult waited = Wait(until);
    if (waited != ReadResult::Byte) return waited;
    ssize_t got = read(master_, bytes, capacity);
    if (got > 0) {
      count = static_cast<size_t>(got);
      return ReadResult::Byte;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    return ReadResult::Closed;  // EIO: the program closed its end
  }
}

bool PseudoTerminal::WaitForProgram(Clock::time_point until) {
  for (;;) {
    pollfd master{master_, POLLIN, 0};
    if (poll(&master, 1, 0) >= 0 && !(master.revents & POLLHUP)) return true;
    if (StopRequested() || Clock::now() >= until) return false;
    timespec pause = Remaining(std::min(until, Clock::now() + kOpenPollInterval));
    ppoll(nullptr, 0, &pause, WaitMask());
  }
}

bool PseudoTerminal::WriteByte(uint8_t byte) {
  for (;;) {
    ssize_t count = write(master_, &byte, 1);
    if (count == 1) return true;
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno == EAGAIN && !StopRequested()) {  // the program does not read
      pollfd master{master_, POLLOUT, 0};
      if (ppoll(&master, 1, nullptr, WaitMask()) >= 0 || errno == EINTR) continue;
    }
    return false;
  }
}
