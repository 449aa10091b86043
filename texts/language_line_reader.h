// One line of a language file, read the way the Windows C library reads a file opened
// in text mode ("rt"), so that a language file gives the same texts on every platform.
//
//   kLanguageLineMax            254, the most characters one line read returns
//   kLanguageLineBufferSize     256, the buffer a line is read into (the text table's slot size)
//   LanguageLineReader(file)    reads from an open file, which the caller closes
//   reader.ReadLine(line)       the next line and a NUL; its length, 0 at the end
//
// A line is what one read of at most 254 characters returns: the characters up to and
// including the first line feed, or the first 254 characters, or what is left before
// the end. Every carriage-return byte is dropped wherever it stands, the first Ctrl-Z
// (0x1A) ends the text, and a read error ends it like the end of the file. Nothing else
// is trimmed or converted; a NUL byte is an ordinary character here.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr size_t kLanguageLineMax = 254;
constexpr size_t kLanguageLineBufferSize = 256;

class LanguageLineReader {
 public:
  explicit LanguageLineReader(FILE* file) : file_(file) {}

  // Reads the next line into `line` and ends it with a NUL. Returns the number of
  // characters read, NUL bytes inside the line included; 0 when the text has ended.
  // A read error loses the line it interrupts, as a library line read does.
  size_t ReadLine(char (&line)[kLanguageLineBufferSize]);

 private:
  FILE* file_;
  bool ended_ = false;  // a Ctrl-Z or a read error was met: nothing more is read
};
