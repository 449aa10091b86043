#include "tools/pack/pack_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "payload/payload_layout.h"
#include "texts/language_line_reader.h"

bool ReadTextsFile(const std::string& path, std::vector<std::string>& texts, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  LanguageLineReader reader(file);
  char line[kLanguageLineBufferSize];
  std::vector<bool> cut;  // a full read that did not end in a line feed
  texts.clear();
  for (size_t length; (length = reader.ReadLine(line)) > 0;) {
    cut.push_back(length == kLanguageLineMax && line[length - 1] != '\n');
    texts.push_back(line);  // up to its first NUL, as the program stores it
  }
  bool failed = std::ferror(file) != 0;
  int read_errno = errno;
  std::fclose(file);
  if (failed) {
    error = "cannot read " + path + ": " + std::strerror(read_errno);
    return false;
  }
  // A cut line goes on in the next read: the program would move every later text down.
  for (size_t i = 0; i + 1 < cut.size(); ++i) {
    if (cut[i]) {
      error = path + ": line " + std::to_string(i + 1) + " is longer than " +
              std::to_string(kLanguageLineMax) + " characters with its line feed";
      return false;
    }
  }
  if (texts.size() > payload_layout::kTextSlotCount) {
    error = path + " has more than " + std::to_string(payload_layout::kTextSlotCount) +
            " lines; the program ignores the rest";
    return false;
  }
  return true;
}

std::string TextsFileContents(const std::vector<std::string>& texts) {
  std::string contents;
  for (const std::string& text : texts) {
    contents += text;
    if (text.empty() || text.back() != '\n') contents += '\n';
  }
  return contents;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FileMode(const std::string& path, mode_t& mode) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  mode = st.st_mode & 0777;
  return true;
}

namespace {

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode,
                        std::string& error) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  bool written = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int write_errno = errno;
  if (close(fd) != 0 && written) written = false, write_errno = errno;
  if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (written) write_errno = errno;
  unlink(temporary.c_str());
  error = "cannot write " + path + ": " + std::strerror(write_errno);
  return false;
}
