// The temporary picture through the Windows file functions: the system names the file,
// the picture goes to that name with ".bmp" appended.
#include <windows.h>

#include "forms/temporary_picture.h"

bool CreateNewPictureFile(const std::string& fileName, const uint8_t* bytes, size_t size,
                          size_t& written) {
  // CREATE_NEW refuses an existing name; the attribute check also catches a link that
  // points nowhere, which is still something that someone else placed there.
  if (GetFileAttributesA(fileName.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  WriteFile(file, bytes, static_cast<DWORD>(size), &done, nullptr);
  CloseHandle(file);
  written = done;
  return true;
}

bool WriteTemporaryPicture(const uint8_t* bytes, size_t size, std::string& fileName,
                           size_t& written) {
  char directory[MAX_PATH];
  DWORD length = GetTempPathA(MAX_PATH, directory);
  if (length == 0 || length >= MAX_PATH) return false;
  char unique[MAX_PATH];
  if (GetTempFileNameA(directory, "pic", 0, unique) == 0) return false;
  fileName = std::string(unique) + ".bmp";
  return CreateNewPictureFile(fileName, bytes, size, written);
}
