// Serial ports through the Windows serial functions. Only the line settings are changed
// at open; flow control and the port's other settings stay as the system reports them,
// and the device-control block and time-outs found at open are put back at close. The
// one-byte reads and the block reads need different time-outs: each read sets the ones
// it needs only when others are in force.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "device/port_reads.h"
#include "device/serial_port.h"

using port_reads::Fail;
using port_reads::FailRead;
using port_reads::SliceResult;

struct SerialPort {
  HANDLE handle;
  DCB foundState;
  COMMTIMEOUTS foundTimeouts;
  const StopRequest* stop;
  unsigned timeoutMs;
  COMMTIMEOUTS byteTimeouts;  // the one-byte reads', from SetReadTimeout
  COMMTIMEOUTS inForce;
};

static_assert(sizeof(DCB) == 28, "the system's device-control block");

const char* Com1Path() { return "COM1"; }

namespace {

// COM1 to COM9 open by name; COM10 and above only through the device namespace.
std::string DeviceName(const std::string& path) {
  bool comTenOrAbove = path.size() > 4 && (path.compare(0, 3, "COM") == 0 ||
                                           path.compare(0, 3, "com") == 0);
  for (size_t i = 3; comTenOrAbove && i < path.size(); ++i)
    comTenOrAbove = std::isdigit(static_cast<unsigned char>(path[i])) != 0;
  return comTenOrAbove ? "\\\\.\\" + path : path;
}

// Leaves no port open behind a failed open.
SerialPort* FailOpen(HANDLE handle, FailureReporter& reporter, DeviceStep step) {
  reporter.Report({step, 0, 0, static_cast<int>(GetLastError())});
  if (handle != INVALID_HANDLE_VALUE) {
    ClearCommError(handle, nullptr, nullptr);
    CloseHandle(handle);
  }
  return nullptr;
}

// A stoppable port reads in slices: back at once with a byte, else after one slice.
COMMTIMEOUTS SliceTimeouts() {
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = port_reads::kSliceMs;
  return timeouts;
}

// Sets the time-outs unless they are in force already; false when the system refuses.
bool UseTimeouts(SerialPort* port, const COMMTIMEOUTS& timeouts) {
  if (std::memcmp(&port->inForce, &timeouts, sizeof timeouts) == 0) return true;
  if (!SetCommTimeouts(port->handle, const_cast<COMMTIMEOUTS*>(&timeouts))) return false;
  port->inForce = timeouts;
  return true;
}

// A block read: back at once with what has arrived, else with the first bytes to come,
// else after the wait (which the system wants above 0).
SliceResult ReadSomeSlice(SerialPort* port, unsigned sliceMs, uint8_t* bytes, size_t max,
                          size_t& count, int& error) {
  COMMTIMEOUTS timeouts = SliceTimeouts();
  timeouts.ReadTotalTimeoutConstant = sliceMs > 0 ? sliceMs : 1;
  DWORD read = 0;
  if (!UseTimeouts(port, timeouts) ||
      !ReadFile(port->handle, bytes, static_cast<DWORD>(max), &read, nullptr)) {
    error = static_cast<int>(GetLastError());
    return SliceResult::Failed;
  }
  count = read;
  return read > 0 ? SliceResult::Byte : SliceResult::Nothing;
}

SliceResult ReadSlice(HANDLE handle, uint8_t& byte, int& error) {
  DWORD read = 0;
  if (!ReadFile(handle, &byte, 1, &read, nullptr)) {
    error = static_cast<int>(GetLastError());
    return SliceResult::Failed;
  }
  return read == 1 ? SliceResult::Byte : SliceResult::Nothing;
}

}  // namespace

bool PortPathPresent(const std::string&) { return true; }

SerialPort* OpenPort(const std::string& path, FailureReporter& reporter, const StopRequest* stop) {
  HANDLE handle = CreateFileA(DeviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailOpen(handle, reporter, DeviceStep::OpenPort);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return FailOpen(handle, reporter, DeviceStep::GetSettings);
  const DCB found = dcb;
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(handle, &dcb)) return FailOpen(handle, reporter, DeviceStep::SetSettings);
  COMMTIMEOUTS foundTimeouts = {};
  GetCommTimeouts(handle, &foundTimeouts);
  // Bytes from before this open (a board cut off in mid-conversation) would be taken for
  // the answer to the first sync; nothing valid comes before that answer.
  PurgeComm(handle, PURGE_RXCLEAR);
  return new SerialPort{handle, found, foundTimeouts, stop, 0, foundTimeouts, foundTimeouts};
}

void ClosePort(SerialPort* port) {
  if (port == nullptr) return;
  // The next program finds the port as it was; on a vanished device these fail harmlessly.
  SetCommState(port->handle, &port->foundState);
  SetCommTimeouts(port->handle, &port->foundTimeouts);
  CloseHandle(port->handle);
  delete port;
}

void SetReadTimeout(SerialPort* port, unsigned milliseconds, FailureReporter& reporter) {
  // Every read asks for one byte, so the multiplier alone bounds it.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = milliseconds;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (port != nullptr && port->stop != nullptr) timeouts = SliceTimeouts();
  if (port == nullptr || !UseTimeouts(port, timeouts)) {
    Fail(reporter, DeviceStep::SetTimeout, port != nullptr ? static_cast<int>(GetLastError()) : 0);
    return;
  }
  port->byteTimeouts = timeouts;
  port->timeoutMs = milliseconds;
}

bool SendByte(SerialPort* port, uint8_t byte, FailureReporter& reporter) {
  DWORD written = 0, error = 0;
  if (port != nullptr) {
    if (!WriteFile(port->handle, &byte, 1, &written, nullptr)) error = GetLastError();
    FlushFileBuffers(port->handle);
  }
  return written == 1 || Fail(reporter, DeviceStep::WriteByte, static_cast<int>(error));
}

bool ReceiveByte(SerialPort* port, uint8_t& byte, FailureReporter& reporter) {
  // After a block read the one-byte time-outs come back; a refusal shows in the read.
  if (port != nullptr) UseTimeouts(port, port->byteTimeouts);
  if (port != nullptr && port->stop != nullptr) {
    return port_reads::ReadWithin(
        *port->stop, port->timeoutMs,
        [&](uint8_t& b, int& error) { return ReadSlice(port->handle, b, error); }, byte, reporter);
  }
  DWORD read = 0, error = 0;
  uint8_t received = 0;
  if (port != nullptr && !ReadFile(port->handle, &received, 1, &read, nullptr)) error = GetLastError();
  if (read != 1) return FailRead(reporter, byte, DeviceStep::ReadByte, static_cast<int>(error));
  byte = received;
  return true;
}

bool TakeArrivedByte(SerialPort* port, uint8_t& byte) {
  COMSTAT status = {};
  DWORD errors = 0, read = 0;
  if (port == nullptr || !ClearCommError(port->handle, &errors, &status) || status.cbInQue == 0)
    return false;
  return ReadFile(port->handle, &byte, 1, &read, nullptr) && read == 1;
}

void FlushPort(SerialPort* port) {
  if (port != nullptr) FlushFileBuffers(port->handle);
}

bool StopRequested(const SerialPort* port) {
  return port != nullptr && port->stop != nullptr && port->stop->Requested();
}

// A removed adapter fails every request about its state.
bool DeviceGone(const SerialPort* port, const std::string&) {
  DWORD errors = 0;
  return port == nullptr || !ClearCommError(port->handle, &errors, nullptr);
}

bool SetPortRate(SerialPort* port, uint32_t baud) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (port == nullptr || !GetCommState(port->handle, &dcb)) return false;
  dcb.BaudRate = baud;
  DCB readBack = {};
  readBack.DCBlength = sizeof readBack;
  return SetCommState(port->handle, &dcb) && GetCommState(port->handle, &readBack) &&
         readBack.BaudRate == baud;
}

bool SendBlock(SerialPort* port, const uint8_t* bytes, size_t n, FailureReporter& reporter) {
  while (n > 0) {
    DWORD written = 0;
    if (port == nullptr || !WriteFile(port->handle, bytes, static_cast<DWORD>(n), &written, nullptr) ||
        written == 0) {
      return Fail(reporter, DeviceStep::WriteByte, port != nullptr ? static_cast<int>(GetLastError()) : 0);
    }
    bytes += written;
    n -= written;
  }
  return true;
}

bool ReceiveSome(SerialPort* port, uint8_t* bytes, size_t max, unsigned waitMs, size_t& count,
                 FailureReporter& reporter) {
  if (port == nullptr) return Fail(reporter, DeviceStep::ReadByte);
  return port_reads::ReadSomeWithin(
      port->stop, waitMs,
      [&](unsigned sliceMs, size_t& got, int& error) {
        return ReadSomeSlice(port, sliceMs, bytes, max, got, error);
      },
      count, reporter);
}

void DiscardInput(SerialPort* port) {
  if (port != nullptr) PurgeComm(port->handle, PURGE_RXCLEAR);
}
