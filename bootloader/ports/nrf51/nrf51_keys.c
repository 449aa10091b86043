/* The public keys compiled in, one or two: nrf51_keys.h, which
 * tools/build-bootloader-nrf51.sh writes from the --key files as NRF51_KEYS, the keys'
 * bytes in braces. */
#include "bootloader/crypto/fwboot_keyed.h"
#include "nrf51_keys.h"

static const uint8_t keys[][32] = NRF51_KEYS;

uint8_t fwboot_key_count(void) { return (uint8_t)(sizeof keys / sizeof keys[0]); }
const uint8_t *fwboot_key(uint8_t index) { return keys[index]; }
