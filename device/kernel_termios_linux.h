// The Linux kernel's termios2: the terminal's settings with its rates as numbers, which
// BOTHER in c_cflag makes the ones in force (any rate, 250000 too, which has no B
// constant). asm/termbits.h, which declares it, cannot be included beside termios.h.
#pragma once

#include <asm/ioctl.h>
#include <termios.h>

struct KernelTermios {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};
constexpr tcflag_t kRateAsNumber = 0010000;                                  // BOTHER
constexpr unsigned long kGetKernelTermios = _IOR('T', 0x2A, KernelTermios);  // TCGETS2
constexpr unsigned long kSetKernelTermios = _IOW('T', 0x2B, KernelTermios);  // TCSETS2
