/* The vector table at 0x0 and the start-up, in place of a C library's: the stack pointer,
 * the reset handler, and for every other exception and interrupt a handler that passes it
 * on to the application's table at 0x8000. The M0 has no VTOR to move the table (QEMU
 * emulates one, the chip has none), and the bootloader itself takes no interrupt. A fault
 * of the bootloader's own goes to the application's handler too: with no application
 * there, the CPU locks up (the chip then resets; QEMU stops). */
#include <stdint.h>

#include "nrf51_port.h"

/* The system exceptions, then the nRF51's 32 interrupts. */
#define VECTOR_COUNT (16 + 32)

extern uint32_t __stack_top, __data_load, __data_start, __data_end, __bss_start, __bss_end;
int main(void);

static void reset(void) {
  const uint32_t *from = &__data_load;
  uint32_t *to;
  for (to = &__data_start; to < &__data_end;) *to++ = *from++;
  for (to = &__bss_start; to < &__bss_end;) *to++ = 0;
  main();
}

/* The application's handler for the exception in progress (IPSR holds its number). r0 and
 * r1 are among the registers the exception entry saved, and lr keeps its return value. */
__attribute__((naked)) static void forward(void) {
  __asm__ volatile(
      ".syntax unified\n\t"
      "mrs r0, ipsr\n\t"
      "lsls r0, r0, #2\n\t"
      "movs r1, #1\n\t"
      "lsls r1, r1, #15\n\t" /* NRF51_APP_START */
      "ldr r0, [r1, r0]\n\t"
      "bx r0\n\t");
}
typedef char forward_reads_the_application_table[NRF51_APP_START == 1u << 15 ? 1 : -1];

__attribute__((section(".vectors"), used)) static void (*const vectors[VECTOR_COUNT])(void) = {
    (void (*)(void))&__stack_top, reset,
    [2 ... VECTOR_COUNT - 1] = forward};
