/* fwflash-boot-image APP.bin OUT.bin: puts the reference bootloader's header in front of
 * an application binary, so that the device knows how many bytes to ask for. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bootloader/core/fwboot_image.h"

static int fail(const char *what, const char *path) {
  fprintf(stderr, "fwflash-boot-image: %s %s\n", what, path);
  return 1;
}

int main(int argc, char **argv) {
  FILE *in, *out;
  long length;
  unsigned char *app;
  uint8_t header[FWBOOT_HEADER_SIZE];
  int written;
  if (argc != 3) {
    fprintf(stderr, "usage: fwflash-boot-image APP.bin OUT.bin\n");
    return 2;
  }
  in = fopen(argv[1], "rb");
  if (in == NULL) return fail("cannot open", argv[1]);
  if (fseek(in, 0, SEEK_END) != 0 || (length = ftell(in)) < 0 || fseek(in, 0, SEEK_SET) != 0) {
    fclose(in);
    return fail("cannot read", argv[1]);
  }
  if (length == 0 || (unsigned long)length > 0xFFFFFFFFul - FWBOOT_HEADER_SIZE) {
    fclose(in);
    return fail("has no bytes, or too many for a 32-bit length:", argv[1]);
  }
  app = malloc((size_t)length);
  if (app == NULL || fread(app, 1, (size_t)length, in) != (size_t)length) {
    free(app);
    fclose(in);
    return fail("cannot read", argv[1]);
  }
  fclose(in);
  fwboot_make_header(header, (uint32_t)length);
  out = fopen(argv[2], "wb");
  written = out != NULL && fwrite(header, 1, sizeof header, out) == sizeof header &&
            fwrite(app, 1, (size_t)length, out) == (size_t)length;
  free(app);
  if (out != NULL && fclose(out) != 0) written = 0;
  if (!written) {
    remove(argv[2]);
    return fail("cannot write", argv[2]);
  }
  return 0;
}
