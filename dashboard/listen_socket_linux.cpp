#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "dashboard/listen_socket.h"

void ListenAlone(socket_t sock) {
  const int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void ClearSocketError() { errno = 0; }

std::string SocketErrorText() { return errno ? std::string(": ") + std::strerror(errno) : std::string(); }
