// Serial ports on Linux and other POSIX systems: a terminal device set to 9600 8-N-1,
// binary clean, with the read time-out kept in the terminal's settings (VMIN 0, VTIME),
// so that it belongs to the port as it does on Windows. A port with a stop request waits
// for each byte with poll in slices instead, and notices a hang-up at once; so do the
// block reads. Rates are set through the kernel's termios2, which takes any rate (250000
// has no B constant) and reads back what the driver made of it.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "device/kernel_termios_linux.h"
#include "device/port_reads.h"
#include "device/same_device_posix.h"
#include "device/serial_port.h"

using port_reads::Fail;
using port_reads::FailRead;
using port_reads::SliceResult;

struct SerialPort {
  int fd;
  termios found;           // the settings at open, put back at close
  bool lowLatencySetHere;  // ASYNC_LOW_LATENCY was off at open and is put back at close
  const StopRequest* stop;
  unsigned timeoutMs;
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

// The null port fails every operation as a closed descriptor does, with its report.
int Descriptor(const SerialPort* port) { return port != nullptr ? port->fd : -1; }

// Failure exit of OpenPort: reported with the error of the call that failed, nothing
// left open.
SerialPort* FailOpen(int fd, FailureReporter& reporter, DeviceStep step, int error) {
  if (fd >= 0) close(fd);
  reporter.Report({step, 0, 0, error});
  return nullptr;
}

// The error of a read that got nothing: a line that hung up gives end of file, and
// counts as a device that is no more.
int ReadError(ssize_t count) { return count == 0 ? ENODEV : errno; }

// One slice of a stoppable read: poll, then take the byte that is there.
SliceResult ReadSlice(int fd, uint8_t& byte, int& error) {
  pollfd waiting{fd, POLLIN, 0};
  int ready = RetryOnSignal([&] { return poll(&waiting, 1, port_reads::kSliceMs); });
  if (ready == 0) return SliceResult::Nothing;
  if (ready < 0 || !(waiting.revents & POLLIN)) {  // hung up
    error = ready < 0 ? errno : ENODEV;
    return SliceResult::Failed;
  }
  ssize_t count = RetryOnSignal([&] { return read(fd, &byte, 1); });
  if (count == 1) return SliceResult::Byte;
  error = ReadError(count);
  return SliceResult::Failed;
}

// Whether another program holds the terminal in exclusive mode, which does not stop
// root from opening it.
bool HeldExclusively(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// One slice of a block read: poll, then take what is there.
SliceResult ReadSomeSlice(int fd, unsigned sliceMs, uint8_t* bytes, size_t max, size_t& count,
                          int& error) {
  pollfd waiting{fd, POLLIN, 0};
  int ready = RetryOnSignal([&] { return poll(&waiting, 1, static_cast<int>(sliceMs)); });
  if (ready == 0) return SliceResult::Nothing;
  if (ready < 0 || !(waiting.revents & POLLIN)) {  // hung up
    error = ready < 0 ? errno : ENODEV;
    return SliceResult::Failed;
  }
  ssize_t got = RetryOnSignal([&] { return read(fd, bytes, max); });
  if (got > 0) {
    count = static_cast<size_t>(got);
    return SliceResult::Byte;
  }
  error = ReadError(got);
  return SliceResult::Failed;
}

}  // namespace

const char* Com1Path() {
  const char* path = std::getenv("FWFLASH_COM1");
  return path != nullptr ? path : "/dev/ttyS0";
}

bool PortPathPresent(const std::string& path) {
  struct stat named {};
  return stat(path.c_str(), &named) == 0;
}

SerialPort* OpenPort(const std::string& path, FailureReporter& reporter, const StopRequest* stop) {
  // Not blocking on the modem lines while opening; blocking again for every transfer.
  int fd = RetryOnSignal(
      [&] { return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) return FailOpen(fd, reporter, DeviceStep::OpenPort, errno);
  // TIOCEXCL does not stop root; the lock is what other serial tools check.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return FailOpen(fd, reporter, DeviceStep::OpenPort, errno);
  if (HeldExclusively(fd)) return FailOpen(fd, reporter, DeviceStep::OpenPort, EBUSY);
  // A path that is no terminal refuses this too, and fails at reading the settings below.
  ioctl(fd, TIOCEXCL);
  // From here a failure takes the exclusive flag away again: a pseudo-terminal keeps it
  // after the close and would refuse everyone else.
  auto failExclusive = [&](DeviceStep step) {
    const int error = errno;
    ioctl(fd, TIOCNXCL);
    return FailOpen(fd, reporter, step, error);
  };
  int flags = fcntl(fd, F_GETFL);
  if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return failExclusive(DeviceStep::OpenPort);
  }

  termios found{};
  if (tcgetattr(fd, &found) != 0) return failExclusive(DeviceStep::GetSettings);
  termios settings = found;
  ApplyLineSettings(settings);
  if (tcsetattr(fd, TCSANOW, &settings) != 0) {
    return failExclusive(DeviceStep::SetSettings);
  }
  // Bytes from before this open (a board cut off in mid-conversation) would be taken for
  // the answer to the first sync; nothing valid comes before that answer.
  tcflush(fd, TCIFLUSH);
  return new SerialPort{fd, found, RequestLowLatency(fd), stop, 0};
}

void ClosePort(SerialPort* port) {
  if (port == nullptr) return;
  // The next program finds the port as it was; on a vanished device these calls fail
  // and change nothing.
  tcsetattr(port->fd, TCSANOW, &port->found);
  if (port->lowLatencySetHere) DropLowLatency(port->fd);
  // A pseudo-terminal outlives its users, and its exclusive flag would lock others out.
  ioctl(port->fd, TIOCNXCL);
  close(port->fd);
  delete port;
}

void SetReadTimeout(SerialPort* port, unsigned milliseconds, FailureReporter& reporter) {
  int fd = Descriptor(port);
  if (milliseconds > kMaxTimeoutMs) milliseconds = kMaxTimeoutMs;
  termios settings{};
  bool applied = tcgetattr(fd, &settings) == 0;
  if (applied) {
    // In whole tenths, rounded up: 100 ms is 1, 2000 ms is 20.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = static_cast<cc_t>((milliseconds + 99) / 100);
    applied = tcsetattr(fd, TCSANOW, &settings) == 0;
  }
  if (!applied) {
    Fail(reporter, DeviceStep::SetTimeout, errno);
    return;
  }
  port->timeoutMs = (milliseconds + 99) / 100 * 100;
}

bool SendByte(SerialPort* port, uint8_t byte, FailureReporter& reporter) {
  ssize_t written = RetryOnSignal([&] { return write(Descriptor(port), &byte, 1); });
  const int error = errno;
  FlushPort(port);
  return written == 1 || Fail(reporter, DeviceStep::WriteByte, error);
}

bool ReceiveByte(SerialPort* port, uint8_t& byte, FailureReporter& reporter) {
  if (port != nullptr && port->stop != nullptr) {
    return port_reads::ReadWithin(
        *port->stop, port->timeoutMs,
        [&](uint8_t& b, int& error) { return ReadSlice(port->fd, b, error); }, byte, reporter);
  }
  uint8_t received = 0;
  ssize_t count = RetryOnSignal([&] { return read(Descriptor(port), &received, 1); });
  // Without a stop request nothing within the time-out reads as end of file too.
  if (count != 1) return FailRead(reporter, byte, DeviceStep::ReadByte, count < 0 ? errno : 0);
  byte = received;
  return true;
}

bool TakeArrivedByte(SerialPort* port, uint8_t& byte) {
  pollfd waiting{Descriptor(port), POLLIN, 0};
  if (RetryOnSignal([&] { return poll(&waiting, 1, 0); }) != 1 || !(waiting.revents & POLLIN))
    return false;
  return RetryOnSignal([&] { return read(waiting.fd, &byte, 1); }) == 1;
}

void FlushPort(SerialPort* port) {
  RetryOnSignal([&] { return tcdrain(Descriptor(port)); });
}

bool StopRequested(const SerialPort* port) {
  return port != nullptr && port->stop != nullptr && port->stop->Requested();
}

bool DeviceGone(const SerialPort* port, const std::string& path) {
  if (port == nullptr) return true;
  pollfd line{port->fd, 0, 0};  // hang-ups and errors are reported without asking
  if (poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
  struct stat opened {}, named {};
  if (fstat(port->fd, &opened) != 0 || stat(path.c_str(), &named) != 0) return true;
  return !SameDevice(opened, named);
}

bool SameDevice(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SetPortRate(SerialPort* port, uint32_t baud) {
  const int fd = Descriptor(port);
  KernelTermios settings{};
  if (ioctl(fd, kGetKernelTermios, &settings) != 0) return false;
  settings.c_cflag = (settings.c_cflag & ~CBAUD) | kRateAsNumber;
  settings.c_cflag &= ~CIBAUD;  // the input follows the output rate
  settings.c_ispeed = settings.c_ospeed = baud;
  KernelTermios readBack{};
  return ioctl(fd, kSetKernelTermios, &settings) == 0 && ioctl(fd, kGetKernelTermios, &readBack) == 0 &&
         readBack.c_ospeed == baud;
}

bool SendBlock(SerialPort* port, const uint8_t* bytes, size_t n, FailureReporter& reporter) {
  // A terminal may take a block in parts; the rest follows at once.
  while (n > 0) {
    const ssize_t written = RetryOnSignal([&] { return write(Descriptor(port), bytes, n); });
    if (written <= 0) return Fail(reporter, DeviceStep::WriteByte, written < 0 ? errno : ENODEV);
    bytes += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

bool ReceiveSome(SerialPort* port, uint8_t* bytes, size_t max, unsigned waitMs, size_t& count,
                 FailureReporter& reporter) {
  const int fd = Descriptor(port);
  return port_reads::ReadSomeWithin(
      port != nullptr ? port->stop : nullptr, waitMs,
      [&](unsigned sliceMs, size_t& got, int& error) {
        return ReadSomeSlice(fd, sliceMs, bytes, max, got, error);
      },
      count, reporter);
}

void DiscardInput(SerialPort* port) { tcflush(Descriptor(port), TCIFLUSH); }
