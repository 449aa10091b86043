// TLS to the record store's server. A libpq built without it (the Windows build's) cannot
// meet a target that asks for it: such a target is refused with a plain reason, not with
// libpq's own words about how it was compiled.
//
//   TlsRefusal(options)   for a connection's parsed options (PGSSLMODE when they set no
//                         sslmode): the reason when they ask for TLS (sslmode require,
//                         verify-ca or verify-full) and this libpq has none, else ""
#pragma once

#include <string>

struct _PQconninfoOption;

std::string TlsRefusal(const _PQconninfoOption* options);
