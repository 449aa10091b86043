#include "records/postgres_tls.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

namespace {

std::string SslMode(const PQconninfoOption* options) {
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (option->val == nullptr) continue;
    if (std::strcmp(option->keyword, "sslmode") == 0) return option->val;
    if (std::strcmp(option->keyword, "requiressl") == 0 && std::strcmp(option->val, "1") == 0) return "require";
  }
  const char* environment = std::getenv("PGSSLMODE");
  return environment != nullptr ? environment : "";
}

}  // namespace

std::string TlsRefusal(const PQconninfoOption* options) {
  const std::string mode = SslMode(options);
  if (mode != "require" && mode != "verify-ca" && mode != "verify-full") return "";
  if (PQsslAttribute(nullptr, "library") != nullptr) return "";  // this libpq has TLS
  return "sslmode=" + mode +
         " asks for TLS, and this build has no TLS: connect without sslmode (or with "
         "sslmode=prefer) to a server that authenticates with scram-sha-256, which never "
         "sends the password in clear";
}
