// The one wait that libpq leaves to its caller, which each platform makes its own way:
// until a connection's socket has something to read.
//
//   WaitReadable(socket, timeoutMs, error)   true once the socket is readable, timeoutMs
//                                            passed or a signal came (the caller looks
//                                            again); false with the reason when the wait
//                                            itself failed
#pragma once

#include <string>

bool WaitReadable(int socket, int timeoutMs, std::string& error);
