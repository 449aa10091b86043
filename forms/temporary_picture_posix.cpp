#include "forms/temporary_picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

size_t WriteAll(int fd, const uint8_t* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

bool CreateNewPictureFile(const std::string& fileName, const uint8_t* bytes, size_t size,
                          size_t& written) {
  int fd = open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  written = WriteAll(fd, bytes, size);
  close(fd);
  return true;
}

bool WriteTemporaryPicture(const uint8_t* bytes, size_t size, std::string& fileName,
                           size_t& written) {
  std::string pattern = TemporaryDirectory() + "/picXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int unique = mkstemp(name.data());
  if (unique < 0) return false;
  close(unique);
  fileName = std::string(name.data()) + ".bmp";
  return CreateNewPictureFile(fileName, bytes, size, written);
}
