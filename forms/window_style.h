// What the three windows share: their colour after creation and their stored font.
#pragma once

#include "toolkit/form_description.h"

// Red 86, green 97, blue 168, in the toolkit's blue-green-red order.
constexpr TColor kWindowColor = 0xA86156;
constexpr FontDescription kWindowFont = {"MS Sans Serif", -11};
