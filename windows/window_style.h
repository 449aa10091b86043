// What the three windows share: their colour after creation and their stored font.
#pragma once

#include "app/toolkit.h"

// Red 86, green 97, blue 168, in the toolkit's blue-green-red order.
constexpr TColor kWindowColor = 0xA86156;
constexpr FontDescription kWindowFont = {"MS Sans Serif", -11};
