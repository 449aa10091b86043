// A test program that crashes takes its children with it: a virtual device it started
// holds none of ctest's output open after it, so ctest goes on at once.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tools/vdev/vdev_process.h"

namespace {

TEST(ChildProcessTest, AProgramThatCrashesLeavesNoDeviceHoldingItsOutput) {
  char dir[] = "/tmp/fwflash-crash.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/com1";
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  const pid_t crashing = fork();
  ASSERT_GE(crashing, 0);
  if (crashing == 0) {  // a test program whose standard error is the pipe, as ctest's is
    close(output[0]);
    dup2(output[1], STDERR_FILENO);
    close(output[1]);
    VdevProcess device;  // serves for ever, with the test program's standard error
    if (!device.Start({"--link", link, "--quiet"})) _exit(1);
    abort();
  }
  close(output[1]);
  int status = 0;
  ASSERT_EQ(waitpid(crashing, &status, 0), crashing);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the device did not start";
  // The pipe ends once every holder has gone: the device too, within moments.
  pollfd readable{output[0], POLLIN, 0};
  char chunk[256];
  ssize_t n = 1;
  while (n > 0 && poll(&readable, 1, 10000) == 1) n = read(output[0], chunk, sizeof chunk);
  EXPECT_EQ(n, 0) << "a device still holds the crashed program's output";
  close(output[0]);
  unlink(link.c_str());
  rmdir(dir);
}

}  // namespace
