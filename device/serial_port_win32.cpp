// COM1 through the Windows serial functions. Only the line settings are changed at open;
// flow control and the port's other settings stay as the system reports them.
#include <windows.h>

#include "device/serial_port.h"
#include "texts/text_table.h"

struct SerialPort {
  HANDLE handle;
};

static_assert(sizeof(DCB) == 28, "the system's device-control block");

const char* Com1Path() { return "COM1"; }

namespace {

// Leaves no port open behind a failed open.
PortHandle FailOpen(HANDLE handle) {
  if (handle != INVALID_HANDLE_VALUE) {
    ClearCommError(handle, nullptr, nullptr);
    CloseHandle(handle);
  }
  return nullptr;
}

}  // namespace

PortHandle OpenPort() {
  HANDLE handle = CreateFileA(Com1Path(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ShowTextMessage(kTextCannotOpenPort);
    return FailOpen(handle);
  }
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) {
    ShowTextMessage(kTextCannotGetParameters);
    return FailOpen(handle);
  }
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(handle, &dcb)) {
    ShowTextMessage(kTextCannotSetParameters);
    return FailOpen(handle);
  }
  return new SerialPort{handle};
}

void ClosePort(PortHandle port) {
  if (port == nullptr) return;
  CloseHandle(port->handle);
  delete port;
}

void SetReadTimeout(PortHandle port, unsigned milliseconds) {
  // Every read asks for one byte, so the multiplier alone bounds it.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = milliseconds;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (port == nullptr || !SetCommTimeouts(port->handle, &timeouts))
    ShowTextMessage(kTextSetTimeoutsError);
}

bool SendByte(PortHandle port, uint8_t byte) {
  DWORD written = 0;
  if (port != nullptr) {
    WriteFile(port->handle, &byte, 1, &written, nullptr);
    FlushFileBuffers(port->handle);
  }
  if (written != 1) {
    ShowTextMessage(kTextCannotWritePort);
    return false;
  }
  return true;
}

bool ReceiveByte(PortHandle port, uint8_t& byte) {
  DWORD read = 0;
  uint8_t received = 0;
  if (port != nullptr) ReadFile(port->handle, &received, 1, &read, nullptr);
  if (read != 1) {
    ShowTextMessage(kTextCannotReadPort);
    byte = 0;
    return false;
  }
  byte = received;
  return true;
}

void FlushPort(PortHandle port) {
  if (port != nullptr) FlushFileBuffers(port->handle);
}
