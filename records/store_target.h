// A record store as the user names it, read in this one place:
//
//   "PATH" or "sqlite:PATH"                  a SQLite file
//   "postgresql://..." or "postgres://..."   a PostgreSQL server, its URI used whole
//
//   ParseStoreTarget(text)   the engine and what the target names; never fails: whether
//                            the store is there, and of a kind known, its opening says
//   IsPostgresTarget(text)   whether the target names a PostgreSQL server
//   StoreTargetName(text)    the target as it may be shown: no password
#pragma once

#include <string>

constexpr char kSqlitePrefix[] = "sqlite:";

struct StoreTarget {
  enum class Engine { Sqlite, Postgres };
  Engine engine = Engine::Sqlite;
  std::string location;   // a SQLite file's path (without "sqlite:"), or a server's whole URI
  bool prefixed = false;  // the path was written after "sqlite:"
};

StoreTarget ParseStoreTarget(const std::string& text);
bool IsPostgresTarget(const std::string& text);
std::string StoreTargetName(const std::string& text);
