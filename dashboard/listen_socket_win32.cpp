#include "dashboard/listen_socket.h"

void ListenAlone(socket_t sock) {
  const BOOL yes = TRUE;
  setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}

void ClearSocketError() { WSASetLastError(0); }

// The code, which Microsoft's documentation explains (10048: the address is in use).
std::string SocketErrorText() {
  const int code = WSAGetLastError();
  return code != 0 ? ": Windows socket error " + std::to_string(code) : std::string();
}
