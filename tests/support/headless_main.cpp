// Test programs start without a display, so windows keep their state but draw nothing
// and no test can wait on a real dialog. GUI tests set DISPLAY again themselves.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (const char* display = std::getenv("DISPLAY")) setenv("FWFLASH_TEST_DISPLAY", display, 1);
  unsetenv("DISPLAY");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
