// Writes the program's icon as a .ico file for the Windows build's resource compiler.
// Built for the build machine: write-icon-file OUT.ico
#include <cstdio>

#include "tools/icon/icon_file.h"
#include "forms/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write-icon-file OUT.ico\n");
    return 2;
  }
  std::vector<uint8_t> bytes = IconFileBytes(kProgramIcon);
  FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
