// Where the spool lives by default on Linux: the XDG state folder.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "records/record_spool.h"

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != 0) return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}

}  // namespace

std::string DefaultSpoolPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (state != nullptr && state[0] == '/') return std::string(state) + "/fwflash/spool.sqlite";
  return HomeFolder() + "/.local/state/fwflash/spool.sqlite";
}
