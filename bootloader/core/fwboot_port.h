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
