#include "records/postgres_uri.h"

namespace {

const char* const kSchemes[] = {"postgresql://", "postgres://"};

size_t SchemeLength(const std::string& text) {
  for (const char* scheme : kSchemes) {
    const std::string prefix = scheme;
    if (text.compare(0, prefix.size(), prefix) == 0) return prefix.size();
  }
  return 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The URI's parts as libpq reads them: user information ends at the first '@' met before
// any '/', and the parameters follow the first '?' after it.
struct UriParts {
  std::string scheme, user, password, hosts, parameters;
  bool hasPassword = false, hasParameters = false;
};

UriParts Split(const std::string& uri) {
  UriParts parts;
  const size_t start = SchemeLength(uri);
  parts.scheme = uri.substr(0, start);
  size_t at = uri.find_first_of("@/", start);
  size_t rest = start;
  if (at != std::string::npos && uri[at] == '@') {
    const std::string userInfo = uri.substr(start, at - start);
    const size_t colon = userInfo.find(':');
    parts.user = userInfo.substr(0, colon);
    if (colon != std::string::npos) {
      parts.hasPassword = true;
      parts.password = userInfo.substr(colon + 1);
    }
    rest = at + 1;
  }
  const size_t question = uri.find('?', rest);
  parts.hosts = uri.substr(rest, question == std::string::npos ? std::string::npos : question - rest);
  if (question != std::string::npos) {
    parts.hasParameters = true;
    parts.parameters = uri.substr(question + 1);
  }
  return parts;
}

// Calls visit(key as decoded, "key=value" as written) for each parameter.
template <typename Visit>
void EachParameter(const std::string& parameters, Visit visit) {
  size_t begin = 0;
  while (begin <= parameters.size()) {
    size_t end = parameters.find('&', begin);
    if (end == std::string::npos) end = parameters.size();
    const std::string pair = parameters.substr(begin, end - begin);
    const size_t equals = pair.find('=');
    visit(PercentDecoded(pair.substr(0, equals)), pair,
          equals == std::string::npos ? std::string() : pair.substr(equals + 1));
    begin = end + 1;
  }
}

}  // namespace

bool IsPostgresUri(const std::string& text) { return SchemeLength(text) > 0; }

std::string UriWithoutPassword(const std::string& uri) {
  const UriParts parts = Split(uri);
  std::string out = parts.scheme;
  if (!parts.user.empty()) out += parts.user + "@";
  out += parts.hosts;
  if (!parts.hasParameters) return out;
  std::string kept;
  EachParameter(parts.parameters, [&](const std::string& key, const std::string& pair,
                                      const std::string&) {
    if (key == "password" || pair.empty()) return;
    kept += (kept.empty() ? "" : "&") + pair;
  });
  return kept.empty() ? out : out + "?" + kept;
}

std::vector<std::string> UriPasswords(const std::string& uri) {
  const UriParts parts = Split(uri);
  std::vector<std::string> passwords;
  if (parts.hasPassword) passwords.push_back(parts.password);
  if (parts.hasParameters) {
    EachParameter(parts.parameters, [&](const std::string& key, const std::string&,
                                        const std::string& value) {
      if (key == "password") passwords.push_back(value);
    });
  }
  const size_t written = passwords.size();
  for (size_t i = 0; i < written; ++i) passwords.push_back(PercentDecoded(passwords[i]));
  return passwords;
}

std::string RedactSecrets(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
      text.replace(at, secret.size(), "***");
  }
  return text;
}
