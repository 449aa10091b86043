// The temporary copy of the product picture that the main window loads by name.
//
//   WriteTemporaryPicture(bytes, size, fileName, written)
//     makes a new, empty, uniquely named file with the prefix "pic" in the system's
//     temporary directory, then the picture file of that name with ".bmp" appended
//     (CreateNewPictureFile). False, without a message, when either cannot be made. Both
//     files stay behind. `written` tells how many bytes reached the picture file.
//   CreateNewPictureFile(fileName, bytes, size, written)
//     creates fileName as a new file and writes the bytes; false when the name exists
//     already, as a file or a link: the temporary directory is shared with others, so
//     the program never writes through a name that someone else placed there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

bool WriteTemporaryPicture(const uint8_t* bytes, size_t size, std::string& fileName,
                           size_t& written);
bool CreateNewPictureFile(const std::string& fileName, const uint8_t* bytes, size_t size,
                          size_t& written);
