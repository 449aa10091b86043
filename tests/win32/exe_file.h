// The program's executable beside the test programs: build-win32/fwflash.exe.
#pragma once

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

inline std::string ProgramPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, length);
  std::string tests = self.substr(0, self.find_last_of('\\'));
  return tests.substr(0, tests.find_last_of('\\')) + "\\fwflash.exe";
}

inline std::string ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
