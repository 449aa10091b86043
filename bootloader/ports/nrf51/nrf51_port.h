/* The nRF51822 port (Cortex-M0): UART0 is the line to the host, TIMER0 the clock of its
 * time-outs, the NVMC programs the flash. The bootloader sits at 0x0, where the M0 fetches
 * its reset vector; the application area runs from 0x8000 to the end of the 256 KiB flash
 * (the counter's two pages and the record's page at its top). The files here are the real
 * chip's; QEMU's microbit (qemu/) adds the state report, a longer sync window and power
 * cuts. */
#ifndef NRF51_PORT_H
#define NRF51_PORT_H

#include <stdint.h>

#define NRF51_REG(address) (*(volatile uint32_t *)(address))

#define NRF51_PAGE_SIZE 1024u
#define NRF51_FLASH_SIZE 0x40000u
#define NRF51_APP_START 0x8000u

/* The pins of UART0: the BBC micro:bit's (the board QEMU emulates); a vendor sets its own. */
#define NRF51_UART_TX_PIN 24u
#define NRF51_UART_RX_PIN 25u

/* TIMER0 counts microseconds. */
uint32_t nrf51_clock_now(void);
void nrf51_wait_us(uint32_t us);
/* The crystal and TIMER0. */
void nrf51_clock_start(void);
/* The clock, then the UART: what every start of the bootloader sets up first. */
void nrf51_port_start(void);
/* The timer, the crystal and the UART back as after a reset, before the application starts. */
void nrf51_clock_stop(void);
void nrf51_uart_stop(void);

/* A watchdog the application started cannot be stopped, only reloaded, and may outlive
 * the reset into the bootloader (the reference manual's table says which resets end it):
 * while the bootloader waits for a byte, each of its enabled reload requests is written. A
 * watchdog period shorter than the longest step that waits for no byte (the signature's
 * check, about 1.5 s at 16 MHz) still resets the chip. */
static inline void nrf51_watchdog_feed(void) {
  uint32_t i, enabled;
  if (NRF51_REG(0x40010400u) == 0) return; /* RUNSTATUS */
  enabled = NRF51_REG(0x40010508u);        /* RREN */
  for (i = 0; i < 8; ++i)
    if (enabled >> i & 1u) NRF51_REG(0x40010600u + 4u * i) = 0x6E524635u; /* RR[i] */
}

/* A system reset (SYSRESETREQ), as after a conversation: the peripherals start afresh. */
__attribute__((noreturn)) static inline void nrf51_system_reset(void) {
  __asm__ volatile("dsb" ::: "memory");
  NRF51_REG(0xE000ED0Cu) = 0x05FA0004u; /* AIRCR: VECTKEY | SYSRESETREQ */
  for (;;) {
  }
}

/* The NVMC's own steps, on absolute addresses; the flash seam is made of them. */
void nrf51_flash_erase(uint32_t address);
/* Programs bytes (a multiple of 4) at a word-aligned address of erased flash. */
void nrf51_flash_program(uint32_t address, const uint8_t *data, uint32_t bytes);

#endif
