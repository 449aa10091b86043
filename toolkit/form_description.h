// A window's stored description as data: the form, its controls in creation order, its
// font and icon. Window styles, the program's icon and the icon-file tool use these
// without the rest of the toolkit.
#pragma once

#include <cstdint>
#include <vector>

// Colours in the toolkit's blue-green-red order, 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor clWhite = 0x00FFFFFF;

// A 16-colour icon in two sizes. Rows are strings of hexadecimal digits, one palette
// index per pixel; a space is a transparent pixel.
struct IconDescription {
  uint32_t palette[16];           // 0x00RRGGBB
  const char* const* rows32;      // 32 rows of 32
  const char* const* rows16;      // 16 rows of 16
};

// Sizes are in pixels at 96 dots per inch; the layer scales them to the display's density.
struct FontDescription {
  const char* name;  // "MS Sans Serif" maps to the toolkit's sans face
  int height;        // negative: the glyphs' pixel height, as stored (-11 is 8 point)
};

enum class ControlKind { Label, StaticText, Button, Image, ProgressBar };

struct ControlDescription {
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  const char* caption = nullptr;  // stored text, for the kinds that have one
  bool visible = true;
  bool autoSize = false;  // a label that sizes itself to its text
  int tabOrder = -1;      // a button with a tab order takes the keyboard focus
  // Progress bar only.
  int32_t min = 0, max = 100, step = 1;
  bool smooth = false;
  int borderWidth = 0;
};

struct BorderIcons {
  bool systemMenu, minimize, maximize;
};

enum class FormPosition {
  Designed,        // at the stored left and top
  MainFormCenter,  // centred over the main window when first shown, later where it was
};

struct FormDescription {
  const char* name;     // "Mainform", "Form_Progress", ...
  const char* caption;  // stored title
  int left, top, clientWidth, clientHeight;
  BorderIcons borderIcons;  // the border is always single and fixed: no resizing
  int borderWidth;
  TColor color;
  FontDescription font;
  FormPosition position;
  const IconDescription* icon;
  std::vector<ControlDescription> controls;  // in creation order
};
