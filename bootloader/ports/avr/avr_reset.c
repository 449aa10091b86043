/* The start-up, in place of the C library's: the bootloader takes no interrupt, and the
 * 228 bytes of a vector table would not leave room for it in the boot section. Linked with
 * -nostartfiles, this is the first code at the reset address; the C library's copy of
 * .data and clearing of .bss follow (.init4), then main (.init9), which never returns. */
#include <avr/io.h>

void avr_reset(void) __attribute__((naked, used, section(".init0")));

void avr_reset(void) {
  __asm__ __volatile__("clr __zero_reg__\n\tout __SREG__, __zero_reg__");
  SP = RAMEND;
}
