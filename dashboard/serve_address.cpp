#include "dashboard/serve_address.h"

namespace {

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port <= 65535;
}

}  // namespace

bool ParseServeAddress(const std::string& text, ServeAddress& address, std::string& error) {
  std::string host = "127.0.0.1", port = text;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find("]:");
    if (close == std::string::npos || close == 1) {
      error = "--serve: an IPv6 address is written [ADDR]:PORT";
      return false;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.empty() || host.find(':') != std::string::npos) {
      error = "--serve: the address is [ADDR:]PORT, an IPv6 address in brackets";
      return false;
    }
  }
  if (!ParsePort(port, address.port)) {
    error = "--serve: the port is a number from 1 to 65535 (0: any free one), not \"" + port + "\"";
    return false;
  }
  address.host = host;
  return true;
}
