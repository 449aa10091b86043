#include "program/program_notice.h"

#include <windows.h>

void ShowNotice(const std::string& title, const std::string& text, bool failure) {
  MessageBoxA(nullptr, text.c_str(), title.c_str(),
              MB_OK | (failure ? MB_ICONERROR : MB_ICONINFORMATION));
}
