// The temporary copy of the product picture that the main window loads by name.
//
//   WriteTemporaryPicture(bytes, size, fileName, written)
//     makes a new, empty, uniquely named file with the prefix "pic" in the system's
//     temporary directory, then a new file of that name with ".bmp" appended, and writes
//     the bytes into it. False, without a message, when either file cannot be made; the
//     ".bmp" name is never followed as a link nor an existing file replaced. Both files
//     stay behind. `written` tells how many bytes reached the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

bool WriteTemporaryPicture(const uint8_t* bytes, size_t size, std::string& fileName,
                           size_t& written);
