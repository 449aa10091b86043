#include "records/store_target.h"

#include "records/postgres_uri.h"

StoreTarget ParseStoreTarget(const std::string& text) {
  StoreTarget target;
  if (IsPostgresUri(text)) {
    target.engine = StoreTarget::Engine::Postgres;
    target.location = text;
    return target;
  }
  const std::string prefix = kSqlitePrefix;
  target.prefixed = text.compare(0, prefix.size(), prefix) == 0;
  target.location = target.prefixed ? text.substr(prefix.size()) : text;
  return target;
}

bool IsPostgresTarget(const std::string& text) {
  return ParseStoreTarget(text).engine == StoreTarget::Engine::Postgres;
}

std::string StoreTargetName(const std::string& text) {
  return IsPostgresTarget(text) ? UriWithoutPassword(text) : text;
}
