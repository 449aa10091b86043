#include "fwboot_counter.h"

#include "fwboot_image.h"
#include "fwboot_port.h"
#include "fwboot_steps.h"

#define SLOT_SIZE 8u
#define READ_CHUNK 16u

uint32_t fwboot_counter_offset(void) { return fwboot_record_offset() - 2u * fwboot_flash_page_size(); }

static uint32_t page_at(uint8_t which) { return fwboot_counter_offset() + which * (uint32_t)fwboot_flash_page_size(); }

/* 1 with the page's value in *value, 0 when it holds none. */
static int slot_value(uint8_t which, uint32_t *value) {
  uint8_t slot[SLOT_SIZE];
  fwboot_flash_read(page_at(which), slot, SLOT_SIZE);
  *value = fwboot_get_u32(slot);
  return fwboot_get_u32(slot + 4) == (uint32_t)~*value;
}

static int erased(uint8_t which) {
  uint8_t chunk[READ_CHUNK], i, n;
  uint16_t at, page = fwboot_flash_page_size();
  for (at = 0; at < page; at += n) {
    n = (uint16_t)(page - at) < READ_CHUNK ? (uint8_t)(page - at) : READ_CHUNK;
    fwboot_flash_read(page_at(which) + at, chunk, n);
    for (i = 0; i < n; ++i)
      if (chunk[i] != 0xFFu) return 0;
  }
  return 1;
}

static int erase_unless_erased(uint8_t which) { return erased(which) || fwboot_flash_erase_page(page_at(which)); }

/* The page that holds the counter (the higher value), 0 when neither holds one. */
static uint8_t newer_page(uint32_t *value) {
  uint32_t first, second;
  int has_first = slot_value(0, &first), has_second = slot_value(1, &second);
  *value = 0;
  if (has_second && (!has_first || second > first)) {
    *value = second;
    return 1;
  }
  if (has_first) *value = first;
  return 0;
}

uint32_t fwboot_counter_read(void) {
  uint32_t value;
  newer_page(&value);
  return value;
}

int fwboot_counter_raise(uint8_t *buffer, uint32_t value) {
  uint32_t now;
  uint16_t i, page = fwboot_flash_page_size();
  uint8_t target = (uint8_t)(1u - newer_page(&now));
  if (value <= now) return 1;
  for (i = 0; i < page; ++i) buffer[i] = 0xFFu;
  fwboot_put_u32(buffer, value);
  fwboot_put_u32(buffer + 4, ~value);
  if (!erase_unless_erased(target) || !fwboot_flash_write_page(page_at(target), buffer)) return 0;
  if (!slot_value(target, &now) || now != value) return 0; /* the older page stays */
  return erase_unless_erased((uint8_t)(1u - target));
}
