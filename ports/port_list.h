// The serial ports of this machine, for `fwflash-cli --list-ports` and --port auto. Listing
// never opens a port: a port another program holds stays undisturbed, and no board is reset
// by it. One source per platform (port_list_linux.cpp, port_list_win32.cpp), the rest shared.
//
//   ListSerialPorts(ports, error)  the ports, in natural order of their paths (ttyS2 before
//                              ttyS10, COM2 before COM10); false, with no ports and the
//                              reason in error ("cannot list serial ports: ..."), when
//                              the system's list cannot be read
//   FormatListedPort(port)     one port as one line, without the newline
//
// A line is the path followed by `key=value` fields, each left out when it has no value:
//   by-id=<link>, by-path=<link>    udev's stable names (Linux), one field per link
//   usb=<vid>:<pid>                 a USB adapter's ids, four lower-case hex digits each,
//     serial= manufacturer= product=  followed by the adapter's strings
//   name=<name>                     the friendly name (Windows)
// Groups are separated by two blanks, the fields of the usb group by one. A value holding
// a blank, a quote, a backslash or a control character is written in double quotes with
// \" \\ and \xNN escapes, so a line splits on unquoted blanks and then on the first '='.
//   /dev/ttyUSB0  by-id=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0
//     usb=0403:6001 serial=A12345 manufacturer=FTDI product="FT232R USB UART"
//   COM5  usb=0403:6001 serial=A12345  name="USB Serial Port (COM5)"
// (the first example is one line).
#pragma once

#include <string>
#include <vector>

struct ListedPort {
  std::string path;                      // /dev/ttyUSB0, COM5
  std::vector<std::string> stableNames;  // udev's /dev/serial/by-id and by-path links to it
  std::string vendorId, productId, serial, manufacturer, product;  // USB adapters only
  std::string friendlyName;  // Windows only: "USB Serial Port (COM5)"
};

bool ListSerialPorts(std::vector<ListedPort>& ports, std::string& error);

std::string FormatListedPort(const ListedPort& port);

// Shared by the platforms' listings.
void SortByPath(std::vector<ListedPort>& ports);
// Takes vendor, product and serial from a Windows device instance id such as
// USB\VID_0403&PID_6001\A12345; false, leaving port as it was, for any other id.
bool ParseUsbInstanceId(const std::string& instanceId, ListedPort& port);
