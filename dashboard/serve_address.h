// The address that --serve names: "[ADDR:]PORT", the address 127.0.0.1 when none is
// given, an IPv6 address in brackets ("[::1]:8080").
//
//   ParseServeAddress(text, address, error)   false with a one-line reason for anything
//                                             but a port from 1 to 65535 (0: any free
//                                             one, which the server then names) after
//                                             an optional address
#pragma once

#include <string>

struct ServeAddress {
  std::string host = "127.0.0.1";
  int port = 0;
};

bool ParseServeAddress(const std::string& text, ServeAddress& address, std::string& error);
