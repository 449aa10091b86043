// What the spool files a store under; where it lives by default is per platform
// (spool_path_posix.cpp, _win32.cpp), the spool itself is in sqlite_spool.cpp.
#include "records/record_spool.h"

#include <filesystem>
#include <system_error>

std::string SpoolStoreKey(const std::string& storeName) {
  const StoreTarget target = ParseStoreTarget(storeName);
  if (target.engine == StoreTarget::Engine::Postgres) return storeName;
  std::error_code failure;
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::filesystem::u8path(target.location), failure);
  return failure ? target.location : absolute.lexically_normal().u8string();
}
