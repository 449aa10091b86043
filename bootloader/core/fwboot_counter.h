/* The security counter of a build with keys: the highest counter of an image the device
 * has accepted, in the two flash pages just below the record's.
 *
 *   slot, at the start of a page: value, u32 little-endian | its complement, u32
 *
 * A page whose slot's complement does not hold (erased, all 0x00 as never-written flash
 * reads on some chips, or a write cut short) holds no value. A value goes into the page
 * that holds none or the older one, erased first; the other page is erased only after
 * the new one holds the value, so a power cut leaves the old value or the new, never a
 * lower one. The flash seam writes whole pages, so each page holds one slot. */
#ifndef FWBOOT_COUNTER_H
#define FWBOOT_COUNTER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The first of the counter's two pages; the application ends before it. */
uint32_t fwboot_counter_offset(void);
/* The counter: the higher value the two pages hold, 0 when neither holds one. */
uint32_t fwboot_counter_read(void);
/* Raises the counter to value (a value not higher changes nothing); buffer holds a page.
 * 1 when done, 0 when the flash failed. */
int fwboot_counter_raise(uint8_t *buffer, uint32_t value);

#ifdef __cplusplus
}
#endif

#endif
