// Where the spool lives by default, and what it files a store under; the spool itself
// is in sqlite_spool.cpp.
#include "records/record_spool.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// %LOCALAPPDATA% in UTF-8, which SQLite and the folder making expect.
std::string LocalAppData() {
  const wchar_t* wide = _wgetenv(L"LOCALAPPDATA");
  if (wide == nullptr || *wide == 0) return ".";
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], size, nullptr, nullptr);
  if (!utf8.empty()) utf8.pop_back();  // the terminating NUL
  return utf8;
}
#else
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != 0) return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}
#endif

}  // namespace

std::string DefaultSpoolPath() {
#ifdef _WIN32
  return LocalAppData() + "\\fwflash\\spool.sqlite";
#else
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (state != nullptr && state[0] == '/') return std::string(state) + "/fwflash/spool.sqlite";
  return HomeFolder() + "/.local/state/fwflash/spool.sqlite";
#endif
}

std::string SpoolStoreKey(const std::string& storeName) {
  if (IsPostgresTarget(storeName)) return storeName;
  const std::string prefix = "sqlite:";
  const std::string path =
      storeName.compare(0, prefix.size(), prefix) == 0 ? storeName.substr(prefix.size()) : storeName;
  std::error_code failure;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(path), failure);
  return failure ? path : absolute.lexically_normal().u8string();
}
