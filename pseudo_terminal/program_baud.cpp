// The rate the program has set on its end, read through the device's: a file of its own,
// as the kernel's termios2 (which carries any rate) cannot share one with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "pseudo_terminal/pseudo_terminal.h"

uint32_t PseudoTerminal::ProgramBaud() const {
  struct termios2 settings {};
  return master_ >= 0 && ioctl(master_, TCGETS2, &settings) == 0 ? settings.c_ospeed : 0;
}
