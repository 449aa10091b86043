// The files fwflash-pack reads and writes besides the executable.
//
//   ReadTextsFile(path, texts, error)        a language file's texts, read by the
//                                            program's own rules; refuses a line the
//                                            program would split and a 27th line
//   TextsFileContents(texts)                 texts as a language file, one line each
//   SameFile(a, b)                           both names lead to one existing file
//   FileMode(path, mode)                     its permission bits
//   WriteFileReplacing(path, bytes, mode, error)
//                                            writes a temporary file beside path and
//                                            renames it into place only when complete
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

bool ReadTextsFile(const std::string& path, std::vector<std::string>& texts, std::string& error);

std::string TextsFileContents(const std::vector<std::string>& texts);

bool SameFile(const std::string& a, const std::string& b);

bool FileMode(const std::string& path, mode_t& mode);

bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode,
                        std::string& error);
