// A serial port at 9600 baud 8-N-1, one byte at a time, or in blocks at a rate agreed
// with the device. One interface, one source per platform (serial_port_posix.cpp,
// serial_port_win32.cpp).
//
//   Com1Path()                      the path that stands for COM1 here: FWFLASH_COM1, else
//                                   /dev/ttyS0 on Linux; "COM1" on Windows
//   PortPathPresent(path)           whether the path names something to open (on Windows a
//                                   port's name always does: only opening tells)
//   OpenPort(path, reporter, stop)  opens the port for exclusive use and sets 9600 8-N-1;
//                                   nullptr on failure, after its report; a port that
//                                   another program locked (flock, or its exclusive mode
//                                   on Linux) is left untouched. What waited in its
//                                   input from before is thrown away. With a stop
//                                   request, every read can be stopped within 100 ms
//   ClosePort(port)                 puts back the settings found at open and closes;
//                                   nullptr does nothing, a vanished device is harmless
//   OwnedPort                       closes its port on every path
//   SetReadTimeout(port, ms, r)     bounds every later one-byte read to ms milliseconds;
//                                   a failure is reported and the port keeps its old one
//   SendByte(port, b, r)            writes one byte, then drains the output
//   ReceiveByte(port, b, r)         reads one byte within the time-out; b = 0 on failure
//   TakeArrivedByte(port, b)        takes one byte that has already arrived, without
//                                   waiting; false when none has (nothing is reported)
//   FlushPort(port)                 drains the output once more
//   StopRequested(port)             whether the port's stop request has been made
//   DeviceGone(port, path)          the device behind an open port has gone: it hung up,
//                                   or path names nothing now or another device; reads
//                                   and sends nothing
//   SetPortRate(port, baud)         sets the line's rate (8-N-1 stays); true only when the
//                                   rate reads back as set, since some drivers take a rate
//                                   they cannot keep and report another. Nothing reported
//   SendBlock(port, bytes, n, r)    writes n bytes with as few calls as the system allows,
//                                   without waiting for them to leave the line
//   ReceiveSome(port, bytes, max, ms, count, r)
//                                   takes what has arrived, up to max bytes, waiting at
//                                   most ms for the first: true with count 0 when nothing
//                                   came in time; false on a failed read (ReadByte) or a
//                                   stop request (Stopped), after its report. Waits in
//                                   slices of at most 100 ms, as every stoppable read
//   DiscardInput(port)              throws away what has arrived and not been read
//
// Every failure is handed to the reporter before false is returned; nothing is shown.
// On Windows COM10 and above are opened as \\.\COM10.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device/device_failure.h"
#include "device/stop_request.h"

struct SerialPort;  // one per platform

const char* Com1Path();
bool PortPathPresent(const std::string& path);

SerialPort* OpenPort(const std::string& path, FailureReporter& reporter,
                     const StopRequest* stop = nullptr);
void ClosePort(SerialPort* port);

struct PortCloser {
  void operator()(SerialPort* port) const { ClosePort(port); }
};
using OwnedPort = std::unique_ptr<SerialPort, PortCloser>;

void SetReadTimeout(SerialPort* port, unsigned milliseconds, FailureReporter& reporter);
bool SendByte(SerialPort* port, uint8_t byte, FailureReporter& reporter);
bool ReceiveByte(SerialPort* port, uint8_t& byte, FailureReporter& reporter);
bool TakeArrivedByte(SerialPort* port, uint8_t& byte);
void FlushPort(SerialPort* port);
bool StopRequested(const SerialPort* port);
bool DeviceGone(const SerialPort* port, const std::string& path);

bool SetPortRate(SerialPort* port, uint32_t baud);
bool SendBlock(SerialPort* port, const uint8_t* bytes, size_t n, FailureReporter& reporter);
bool ReceiveSome(SerialPort* port, uint8_t* bytes, size_t max, unsigned waitMs, size_t& count,
                 FailureReporter& reporter);
void DiscardInput(SerialPort* port);
