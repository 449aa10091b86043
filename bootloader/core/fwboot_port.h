/* The seams a port fills in: one small file each for the UART, the flash and the start
 * of the application (see bootloader/ports/). The core calls nothing else. */
#ifndef FWBOOT_PORT_H
#define FWBOOT_PORT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* UART seam. */
void fwboot_uart_put(uint8_t byte);
/* 1 with a byte in *byte, 0 when none came within timeout_ms milliseconds. */
int fwboot_uart_get(uint8_t *byte, uint16_t timeout_ms);

/* UART seam for the second protocol's rates and frames in flight. A port whose rate is
 * fixed announces no rates (0), switches nothing and holds one frame. */
/* The rates the port takes besides 9600: bit i for rate i of fwboot_rate_baud(). */
uint8_t fwboot_uart_rates(void);
/* Switches to rate i of fwboot_rate_baud(), or back to 9600 for FWBOOT_RATE_START, once
 * every byte sent before is on the line. */
void fwboot_uart_set_rate(uint8_t rate);
/* How many whole frames the port receives while the flash is busy, at least 1: with 1
 * the host sends the next frame only when the last one is acknowledged. */
uint8_t fwboot_uart_frames(void);

/* Flash seam. Offsets count from the start of the application area, where the
 * application's first byte goes; pages are aligned to the page size. */
uint16_t fwboot_flash_page_size(void);
uint32_t fwboot_flash_area_size(void); /* a whole number of pages, at least two */
int fwboot_flash_erase_page(uint32_t offset); /* 1 when done, 0 on failure */
/* Writes a whole erased page; 1 when done, 0 on failure. */
int fwboot_flash_write_page(uint32_t offset, const uint8_t *data);
void fwboot_flash_read(uint32_t offset, uint8_t *data, uint16_t length);

/* Hands the processor to the application; a port where that cannot happen returns. */
void fwboot_start_application(void);

#ifdef __cplusplus
}
#endif

#endif
