// What the spool files a store under; where it lives by default is per platform
// (spool_path_posix.cpp, _win32.cpp), the spool itself is in sqlite_spool.cpp.
#include "records/record_spool.h"

#include <filesystem>
#include <system_error>

std::string SpoolStoreKey(const std::string& storeName) {
  if (IsPostgresTarget(storeName)) return storeName;
  const std::string prefix = "sqlite:";
  const std::string path =
      storeName.compare(0, prefix.size(), prefix) == 0 ? storeName.substr(prefix.size()) : storeName;
  std::error_code failure;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(path), failure);
  return failure ? path : absolute.lexically_normal().u8string();
}
