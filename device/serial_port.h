// Access to the first serial port, COM1, at 9600 baud 8-N-1.
//
//   OpenPort()                    opens COM1 for exclusive use and sets 9600 8-N-1;
//                                 the null handle (nullptr) on failure, after its message
//   ClosePort(port)               closes a handle; closing the null handle does nothing
//   SetReadTimeout(port, ms)      bounds every later one-byte read to ms milliseconds;
//                                 a failure is reported and the port keeps its old time-out
//   SendByte(port, b)             writes one byte, then drains the output
//   ReceiveByte(port, b)          reads one byte within the time-out; b = 0 on failure
//
// Every failure is reported here, with its text-table message, before false is returned.
// On Linux COM1 is the device named by FWFLASH_COM1, or /dev/ttyS0; messages still say COM1.
#pragma once

#include <cstdint>

struct SerialPort;  // one per platform
using PortHandle = SerialPort*;

// The device path that stands for COM1 on this machine.
const char* Com1Path();

PortHandle OpenPort();
void ClosePort(PortHandle port);
void SetReadTimeout(PortHandle port, unsigned milliseconds);
bool SendByte(PortHandle port, uint8_t byte);
bool ReceiveByte(PortHandle port, uint8_t& byte);
// Drains the port's output once more, as the exchange of an echoed byte does.
void FlushPort(PortHandle port);
