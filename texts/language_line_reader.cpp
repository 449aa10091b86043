#include "texts/language_line_reader.h"

namespace {
constexpr int kCarriageReturn = '\r';
constexpr int kCtrlZ = 0x1A;
}  // namespace

size_t LanguageLineReader::ReadLine(char (&line)[kLanguageLineBufferSize]) {
  size_t length = 0;
  while (!ended_ && length < kLanguageLineMax) {
    int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) {
        ended_ = true;
        length = 0;
      }
      break;
    }
    if (c == kCtrlZ) {
      ended_ = true;
      break;
    }
    if (c == kCarriageReturn) continue;
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length;
}
