#include <winsock2.h>

#include "records/socket_wait.h"

// libpq hands out its SOCKET as an int; select() takes it back as it was.
bool WaitReadable(int socket, int timeoutMs, std::string& error) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<SOCKET>(socket), &readable);
  timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &timeout) != SOCKET_ERROR) return true;
  error = "cannot wait for the record store: Windows socket error " + std::to_string(WSAGetLastError());
  return false;
}
