// What must never be shown of a PostgreSQL connection URI: its password. Plain text work,
// so that every build (the Windows one too) names a target without it.
//
//   IsPostgresUri(text)           "postgresql://..." or "postgres://..."
//   UriWithoutPassword(uri)       the URI with the user's password and a password=
//                                 parameter left out
//   UriPasswords(uri)             every password the URI holds, as written and decoded
//   RedactSecrets(text, secrets)  the text with each secret replaced by "***"
#pragma once

#include <string>
#include <vector>

bool IsPostgresUri(const std::string& text);
std::string UriWithoutPassword(const std::string& uri);
std::vector<std::string> UriPasswords(const std::string& uri);
std::string RedactSecrets(std::string text, const std::vector<std::string>& secrets);
