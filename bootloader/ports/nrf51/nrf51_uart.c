/* The UART seam on UART0, 8N1, polled. Every reset starts at 9600 baud; the second
 * protocol may switch to 115200, 230400, 250000, 460800 or 1000000 baud, which the
 * UART's rate register gives within 1 % from the 16 MHz crystal (921600 comes out 2 %
 * off: not offered; 500000 and 2000000 it does not have). */
#include "bootloader/core/fwboot_frames.h"
#include "bootloader/core/fwboot_port.h"
#include "nrf51_port.h"

#define UART0 0x40002000u
#define UART_STARTRX (UART0 + 0x000u)
#define UART_STOPRX (UART0 + 0x004u)
#define UART_STARTTX (UART0 + 0x008u)
#define UART_STOPTX (UART0 + 0x00Cu)
#define UART_RXDRDY (UART0 + 0x108u)
#define UART_TXDRDY (UART0 + 0x11Cu)
#define UART_ENABLE (UART0 + 0x500u)
#define UART_PSELTXD (UART0 + 0x50Cu)
#define UART_PSELRXD (UART0 + 0x514u)
#define UART_RXD (UART0 + 0x518u)
#define UART_TXD (UART0 + 0x51Cu)
#define UART_BAUDRATE (UART0 + 0x524u)

#define GPIO 0x50000000u
#define GPIO_OUTSET (GPIO + 0x508u)
#define GPIO_DIRSET (GPIO + 0x518u)

#define BAUD_9600 0x00275000u

/* The rate register's values, indexed by the core's rate number; 0 for a rate not offered. */
static const uint32_t rate_values[FWBOOT_RATE_COUNT] = {0x01D7E000u, 0x03AFB000u, 0x04000000u, 0x075F7000u,
                                                        0, 0, 0x10000000u, 0};
/* A character at 9600 baud, the slowest rate, in microseconds. */
#define SLOWEST_CHARACTER_US 1042u

static void uart_start(void) {
  /* The TX pin an output at the idle level, for the moments the UART does not drive it. */
  NRF51_REG(GPIO_OUTSET) = 1u << NRF51_UART_TX_PIN;
  NRF51_REG(GPIO_DIRSET) = 1u << NRF51_UART_TX_PIN;
  NRF51_REG(UART_PSELTXD) = NRF51_UART_TX_PIN;
  NRF51_REG(UART_PSELRXD) = NRF51_UART_RX_PIN;
  NRF51_REG(UART_BAUDRATE) = BAUD_9600;
  NRF51_REG(UART_ENABLE) = 4;
  NRF51_REG(UART_RXDRDY) = 0;
  NRF51_REG(UART_STARTRX) = 1;
  NRF51_REG(UART_STARTTX) = 1;
}

void nrf51_port_start(void) {
  nrf51_clock_start();
  uart_start();
}

void nrf51_uart_stop(void) {
  NRF51_REG(UART_STOPRX) = 1;
  NRF51_REG(UART_STOPTX) = 1;
  NRF51_REG(UART_ENABLE) = 0;
}

/* Blocking: returns once the byte has been sent, so that a change of rate never cuts one. */
void fwboot_uart_put(uint8_t byte) {
  NRF51_REG(UART_TXDRDY) = 0;
  NRF51_REG(UART_TXD) = byte;
  while (NRF51_REG(UART_TXDRDY) == 0) {
  }
}

/* How soon after a wait that timed out the next one starts where that one was due. */
#define CHAINED_US 100000u
/* The moment the last wait that timed out was due, and whether one did since the last byte. */
static uint32_t expired_at;
static int expired;

int fwboot_uart_get(uint8_t *byte, uint16_t timeout_ms) {
  uint32_t start = nrf51_clock_now(), limit = (uint32_t)timeout_ms * 1000u;
  /* A wait soon after one that timed out starts where that one was due, not when it
   * noticed: the sync window's 2000 waits of 1 ms then last 2 s, however late each
   * notices (under QEMU on a busy host, a millisecond late and more). */
  if (expired && start - expired_at < CHAINED_US) start = expired_at;
  while (NRF51_REG(UART_RXDRDY) == 0) {
    nrf51_watchdog_feed();
    if (nrf51_clock_now() - start >= limit) {
      expired_at = start + limit;
      expired = 1;
      return 0;
    }
  }
  expired = 0;
  /* Cleared before RXD is read: a byte behind it in the receive FIFO sets it again. */
  NRF51_REG(UART_RXDRDY) = 0;
  *byte = (uint8_t)NRF51_REG(UART_RXD);
  return 1;
}

uint8_t fwboot_uart_rates(void) { return 1u << 0 | 1u << 1 | 1u << 2 | 1u << 3 | 1u << 6; }

/* Receiving is polled, and the CPU halts while the NVMC writes: the host sends the next
 * frame only after the last one's ACK. */
uint8_t fwboot_uart_frames(void) { return 1; }

void fwboot_uart_set_rate(uint8_t rate) {
  /* TXDRDY may come while the last byte's stop bit is still on the line: a character's
   * time more at the slowest rate before the switch (no division on the M0). */
  nrf51_wait_us(SLOWEST_CHARACTER_US);
  NRF51_REG(UART_BAUDRATE) = rate == FWBOOT_RATE_START ? BAUD_9600 : rate_values[rate];
}
