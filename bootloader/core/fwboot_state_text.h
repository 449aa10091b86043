/* The state found at a reset as one line of JSON, for the ports that report it:
 *   {"valid":true,"length":N,"crc32":"0x89ABCDEF"}   or   {"valid":false}
 * text must hold FWBOOT_STATE_TEXT_SIZE bytes; it ends with a NUL, no newline. */
#ifndef FWBOOT_STATE_TEXT_H
#define FWBOOT_STATE_TEXT_H

#include "fwboot.h"

#define FWBOOT_STATE_TEXT_SIZE 64u

void fwboot_state_text(const fwboot_state *state, char *text);

#endif
