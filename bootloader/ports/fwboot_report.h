/* The lines a port that reports prints (the simulation on stdout, the emulated
 * ATmega2560 on USART1); the core reports nothing itself.
 *
 *   fwboot_state_text(state, text)   the state found at a reset:
 *       {"valid":true,"length":N,"crc32":"0x89ABCDEF"}   or   {"valid":false}
 *   fwboot_keyed_state_text(state, version, counter, text)
 *                                    the same for a build with keys, which adds the
 *       installed version (when valid) and the security counter:
 *       {"valid":true,"length":N,"crc32":"0x89ABCDEF","version":"2.1.0","counter":3}
 *     text must hold FWBOOT_STATE_TEXT_SIZE bytes; it ends with a NUL, no newline.
 *   FWBOOT_STARTED_TEXT              the application's start
 *   fwboot_power_cut_text(operations, text)
 *                                    a power cut a test asked for, after that many
 *       whole flash operations: {"power":"cut","operations":N} */
#ifndef FWBOOT_REPORT_H
#define FWBOOT_REPORT_H

#include "bootloader/core/fwboot.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FWBOOT_STATE_TEXT_SIZE 112u
#define FWBOOT_STARTED_TEXT "{\"started\":true}"

void fwboot_state_text(const fwboot_state *state, char *text);
/* version: major | minor << 8 | patch << 16, as the signed header holds it. */
void fwboot_keyed_state_text(const fwboot_state *state, uint32_t version, uint32_t counter, char *text);
void fwboot_power_cut_text(uint32_t operations, char *text);

#ifdef __cplusplus
}
#endif

#endif
