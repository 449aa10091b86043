// Where the spool lives by default on Windows: the user's local application data.
#include <cstdlib>

#include "files/utf16.h"
#include "records/record_spool.h"

namespace {

// %LOCALAPPDATA% in UTF-8, which SQLite and the folder making expect.
std::string LocalAppData() {
  const wchar_t* wide = _wgetenv(L"LOCALAPPDATA");
  if (wide == nullptr || *wide == 0) return ".";
  return Utf8FromWide(wide);
}

}  // namespace

std::string DefaultSpoolPath() { return LocalAppData() + "\\fwflash\\spool.sqlite"; }
