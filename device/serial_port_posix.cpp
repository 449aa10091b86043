// COM1 on Linux and other POSIX systems: a terminal device set to 9600 8-N-1, binary
// clean, with the read time-out kept in the terminal's settings (VMIN 0, VTIME), so
// that it belongs to the port as it does on Windows.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "device/serial_port.h"
#include "texts/text_table.h"

struct SerialPort {
  int fd;
  bool lowLatencySetHere;  // ASYNC_LOW_LATENCY was off at open and is put back at close
};

namespace {

constexpr unsigned kMaxTimeoutMs = 25500;  // VTIME holds at most 255 tenths

// Repeats a system call that a signal interrupted.
template <class Call>
auto RetryOnSignal(Call call) {
  decltype(call()) result;
  do result = call();
  while (result == -1 && errno == EINTR);
  return result;
}

// 9600 baud 8-N-1 without any processing of the bytes. Hardware flow control stays as
// found; software flow control goes, because it would swallow 0x11 and 0x13.
void ApplyLineSettings(termios& settings) {
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                        IXOFF | IXANY);
  settings.c_oflag &= ~OPOST;
  settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // Until SetReadTimeout says otherwise a read takes only what has already arrived.
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
}

// USB adapters hold received bytes for a latency timer (16 ms on FTDI chips) unless
// asked for low latency; with one byte per turn that timer would set the pace. Devices
// without the request (pseudo-terminals, most drivers) are left as they are.
bool RequestLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY)) return false;
  serial.flags |= ASYNC_LOW_LATENCY;
  return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void DropLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags &= ~ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &serial);
}

// The null handle fails every operation as a closed descriptor does, with its message.
int Descriptor(PortHandle port) { return port != nullptr ? port->fd : -1; }

// Failure exit of OpenPort: reported, nothing left open.
PortHandle FailOpen(int fd, int slot) {
  if (fd >= 0) close(fd);
  ShowTextMessage(slot);
  return nullptr;
}

}  // namespace

const char* Com1Path() {
  const char* path = std::getenv("FWFLASH_COM1");
  return path != nullptr ? path : "/dev/ttyS0";
}

PortHandle OpenPort() {
  // Not blocking on the modem lines while opening; blocking again for every transfer.
  int fd = RetryOnSignal([] { return open(Com1Path(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) return FailOpen(fd, kTextCannotOpenPort);
  // TIOCEXCL does not stop root; the lock is what other serial tools check.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return FailOpen(fd, kTextCannotOpenPort);
  // A path that is no terminal refuses this too, and fails at reading the settings below.
  ioctl(fd, TIOCEXCL);
  int flags = fcntl(fd, F_GETFL);
  if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return FailOpen(fd, kTextCannotOpenPort);
  }

  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return FailOpen(fd, kTextCannotGetParameters);
  ApplyLineSettings(settings);
  if (tcsetattr(fd, TCSANOW, &settings) != 0) return FailOpen(fd, kTextCannotSetParameters);

  return new SerialPort{fd, RequestLowLatency(fd)};
}

void ClosePort(PortHandle port) {
  if (port == nullptr) return;
  if (port->lowLatencySetHere) DropLowLatency(port->fd);
  // A pseudo-terminal outlives its users, and its exclusive flag would lock others out.
  ioctl(port->fd, TIOCNXCL);
  close(port->fd);
  delete port;
}

void SetReadTimeout(PortHandle port, unsigned milliseconds) {
  int fd = Descriptor(port);
  termios settings{};
  bool applied = tcgetattr(fd, &settings) == 0;
  if (applied) {
    // In whole tenths, rounded up: 100 ms is 1, 2000 ms is 20.
    if (milliseconds > kMaxTimeoutMs) milliseconds = kMaxTimeoutMs;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = static_cast<cc_t>((milliseconds + 99) / 100);
    applied = tcsetattr(fd, TCSANOW, &settings) == 0;
  }
  if (!applied) ShowTextMessage(kTextSetTimeoutsError);
}

bool SendByte(PortHandle port, uint8_t byte) {
  ssize_t written = RetryOnSignal([&] { return write(Descriptor(port), &byte, 1); });
  FlushPort(port);
  if (written != 1) {
    ShowTextMessage(kTextCannotWritePort);
    return false;
  }
  return true;
}

bool ReceiveByte(PortHandle port, uint8_t& byte) {
  uint8_t received = 0;
  ssize_t count = RetryOnSignal([&] { return read(Descriptor(port), &received, 1); });
  if (count != 1) {
    ShowTextMessage(kTextCannotReadPort);
    byte = 0;
    return false;
  }
  byte = received;
  return true;
}

void FlushPort(PortHandle port) {
  RetryOnSignal([&] { return tcdrain(Descriptor(port)); });
}
