#include <poll.h>

#include <cerrno>
#include <cstring>

#include "records/socket_wait.h"

bool WaitReadable(int socket, int timeoutMs, std::string& error) {
  pollfd wanted = {socket, POLLIN, 0};
  if (poll(&wanted, 1, timeoutMs) >= 0 || errno == EINTR) return true;
  error = std::string("cannot wait for the record store: ") + std::strerror(errno);
  return false;
}
