// The dashboard's listening socket on Windows: bound for this server alone
// (SO_EXCLUSIVEADDRUSE, and not SO_REUSEADDR, which would let another program share the
// port), read back from the live server's own socket.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dashboard/dashboard_server.h"
#include "tests/win32/mkdtemp.h"

namespace {

int SocketOption(SOCKET sock, int option) {
  int value = -1, size = sizeof value;
  if (getsockopt(sock, SOL_SOCKET, option, reinterpret_cast<char*>(&value), &size) != 0) return -1;
  return value;
}

// The process's listening socket on port: sockets are handles, numbered in steps of 4.
SOCKET ListeningSocket(int port) {
  for (SOCKET sock = 4; sock < 65536; sock += 4) {
    sockaddr_in address = {};
    int size = sizeof address;
    if (SocketOption(sock, SO_ACCEPTCONN) == 1 &&
        getsockname(sock, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
        ntohs(address.sin_port) == port) {
      return sock;
    }
  }
  return INVALID_SOCKET;
}

TEST(DashboardSocket, TheListeningSocketIsBoundExclusivelyAndASecondServerIsRefused) {
  char dir[] = "/tmp/fwflash-dashboard-socket-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string store = std::string(dir) + "/records.sqlite";
  DashboardServer server;
  std::string error;
  ASSERT_TRUE(server.Start(ServeAddress{"127.0.0.1", 0}, store, error)) << error;
  const std::string url = server.Url();  // http://127.0.0.1:PORT/
  const int port = std::atoi(url.substr(url.rfind(':') + 1).c_str());
  ASSERT_GT(port, 0) << url;

  const SOCKET listening = ListeningSocket(port);
  ASSERT_NE(listening, INVALID_SOCKET) << "no listening socket on port " << port;
  EXPECT_EQ(SocketOption(listening, SO_EXCLUSIVEADDRUSE), 1);
  EXPECT_EQ(SocketOption(listening, SO_REUSEADDR), 0);

  DashboardServer second;
  EXPECT_FALSE(second.Start(ServeAddress{"127.0.0.1", port}, store, error));
  EXPECT_NE(error.find("cannot serve on 127.0.0.1:" + std::to_string(port)), std::string::npos) << error;
  server.Stop();
  std::remove(store.c_str());
  _rmdir(dir);
}

}  // namespace
