/* The application of the QEMU tests, linked at 0x8000 (build-nrf51/test-app.bin; bytes
 * appended to it are data, so that a test can make applications that differ). It shows
 * that it runs and that its interrupts reach it through the bootloader's table: TIMER0's
 * compare interrupt, taken once, prints {"application":"interrupt"} by semihosting. Then
 * any byte on the UART resets the chip, so that a test gets back to the bootloader's sync
 * window without restarting QEMU. Semihosting: for QEMU (or a debugger) only. */
#include <stdint.h>

#define REG(address) (*(volatile uint32_t *)(address))
#define TIMER0 0x40008000u
#define TIMER0_IRQ 8u
#define UART0 0x40002000u
#define NVIC_ISER 0xE000E100u
#define AIRCR 0xE000ED0Cu
#define SYS_WRITE0 0x04u

static void write0(const char *text) {
  register uint32_t operation __asm__("r0") = SYS_WRITE0;
  register const char *argument __asm__("r1") = text;
  __asm__ volatile("bkpt 0xAB" : "+r"(operation) : "r"(argument) : "memory");
}

static void timer0_interrupt(void) {
  REG(TIMER0 + 0x140u) = 0;     /* EVENTS_COMPARE[0] */
  REG(TIMER0 + 0x004u) = 1;     /* STOP: once is enough */
  REG(TIMER0 + 0x308u) = 1u << 16; /* INTENCLR COMPARE0 */
  write0("{\"application\":\"interrupt\"}\n");
}

static void reset(void) {
  REG(TIMER0 + 0x504u) = 0;         /* MODE: timer */
  REG(TIMER0 + 0x508u) = 3;         /* BITMODE: 32 bits */
  REG(TIMER0 + 0x510u) = 4;         /* PRESCALER: 1 MHz */
  REG(TIMER0 + 0x00Cu) = 1;         /* CLEAR */
  REG(TIMER0 + 0x540u) = 1000;      /* CC[0]: 1 ms */
  REG(TIMER0 + 0x304u) = 1u << 16;  /* INTENSET COMPARE0 */
  REG(NVIC_ISER) = 1u << TIMER0_IRQ;
  __asm__ volatile("cpsie i");
  REG(TIMER0 + 0x000u) = 1;         /* START */

  REG(UART0 + 0x514u) = 25;  /* PSELRXD */
  REG(UART0 + 0x500u) = 4;   /* ENABLE */
  REG(UART0 + 0x108u) = 0;   /* EVENTS_RXDRDY */
  REG(UART0 + 0x000u) = 1;   /* STARTRX */
  while (REG(UART0 + 0x108u) == 0) {
  }
  __asm__ volatile("dsb" ::: "memory");
  REG(AIRCR) = 0x05FA0004u; /* SYSRESETREQ */
  for (;;) {
  }
}

__attribute__((section(".vectors"), used)) static void (*const vectors[16 + TIMER0_IRQ + 1])(void) = {
    (void (*)(void))0x20004000u, reset, [16 + TIMER0_IRQ] = timer0_interrupt};
