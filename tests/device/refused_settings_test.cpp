// A terminal that refuses its line settings: message 16, and the port closed again with
// the settings it had and free for everyone. A terminal refuses settings to a process of its session that is
// outside its foreground job and that nothing could stop, an orphaned process group; a
// child of the test arranges that in a session of its own, with its pseudo-terminal
// as the session's terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "device/serial_port.h"
#include "tests/device/message_texts.h"
#include "tests/support/dialog_recorder.h"
#include "tests/support/pseudo_terminal_pair.h"
#include "texts/device_messages.h"

namespace {

std::string Outcome(const std::string& messages, bool portOpen, bool lockFree) {
  return "messages: " + messages + "\nport: " + (portOpen ? "open" : "none") +
         "\nlock: " + (lockFree ? "free" : "held") + "\n";
}

// In the forked child: a new session whose foreground job is a second process, then the
// port opened from the background. Writes the Outcome to `report` and never returns.
[[noreturn]] void OpenFromTheBackground(const std::string& path, int report) {
  setsid();
  const int terminal = open(path.c_str(), O_RDWR);
  ioctl(terminal, TIOCSCTTY, 0);
  int gate[2];
  if (pipe(gate) != 0) _exit(1);
  const pid_t foreground = fork();
  if (foreground == 0) {  // holds the foreground until the child has ended
    setpgid(0, 0);
    close(gate[1]);
    char byte;
    _exit(read(gate[0], &byte, 1) < 0 ? 1 : 0);
  }
  close(gate[0]);
  setpgid(foreground, foreground);
  tcsetpgrp(terminal, foreground);
  // Ignored or blocked, SIGTTOU would let the settings through.
  signal(SIGTTOU, SIG_DFL);
  sigset_t ttou;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_UNBLOCK, &ttou, nullptr);

  DialogRecorder dialogs;
  DialogFailureReporter reporter;
  SerialPort* port = OpenPort(path, reporter);
  std::string messages;
  for (const std::string& message : dialogs.Messages()) messages += message + ";";
  // A descriptor left open by the failed open would still hold the port's lock.
  const int again = open(path.c_str(), O_RDWR | O_NOCTTY);
  const std::string outcome = Outcome(messages, port != nullptr, flock(again, LOCK_EX | LOCK_NB) == 0);
  _exit(write(report, outcome.data(), outcome.size()) == static_cast<ssize_t>(outcome.size()) ? 0 : 1);
}

}  // namespace

TEST(RefusedSettings, AreReportedAsMessage16AndThePortIsClosedWithItsSettingsUnchanged) {
  PseudoTerminalPair pair;
  ASSERT_TRUE(pair.Ok());
  termios before{};
  ASSERT_EQ(tcgetattr(pair.Terminal(), &before), 0);
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const std::string path = Com1Path();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    OpenFromTheBackground(path, report[1]);
  }
  close(report[1]);
  std::string outcome;
  char buffer[256];
  for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) outcome.append(buffer, n);
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(outcome, Outcome(Texts({kTextCannotSetParameters})[0] + ";", false, true));
  termios after{};
  ASSERT_EQ(tcgetattr(pair.Terminal(), &after), 0);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << "not 9600 baud";
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  int exclusive = 1;
  ASSERT_EQ(ioctl(pair.Terminal(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "the failed open left the terminal for exclusive use";
}
