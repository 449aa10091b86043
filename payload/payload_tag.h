// The tag a payload block is found by. Only tools and tests include this: a program's
// own executable holds the tag nowhere but in its block, so a program that looks for
// another program's block reads the tag from its own block instead.
#pragma once

#include "payload/payload_layout.h"

constexpr char kPayloadTag[] = "@DEREV#";
static_assert(sizeof kPayloadTag - 1 == payload_layout::kTagSize);
