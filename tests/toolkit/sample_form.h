// A window with every kind of control, laid out like the program's main window, and the
// bitmap bytes the picture tests are made of.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"

inline const IconDescription& SampleIcon() {
  static const char* const rows32[32] = {
      "00000000000000000000000000000000", "0ffffffffffffffffffffffffffffff0", "0f9999999999999999999999999999f0",
      "0f9  9999999999999999999999  9f0", "0f9999999999999999999999999999f0", "0f99999999999ee999999999999999f0",
      "0f9999999999eeee99999999999999f0", "0f999999999eeeeee9999999999999f0", "0f99999999eeeeeeee999999999999f0",
      "0f9999999eeeeeeeeee99999999999f0", "0f999999eeeeeeeeeeee9999999999f0", "0f99999999999ee999999999999999f0",
      "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0",
      "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0",
      "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0",
      "0f99999999999ee999999999999999f0", "0f99999999999ee999999999999999f0", "0f9999999aaaaaaaaaa99999999999f0",
      "0f9999999aaaaaaaaaa99999999999f0", "0f9999999999999999999999999999f0", "0f9999999999999999999999999999f0",
      "0f9  9999999999999999999999  9f0", "0f9999999999999999999999999999f0", "0f9999999999999999999999999999f0",
      "0ffffffffffffffffffffffffffffff0", "00000000000000000000000000000000"};
  static const char* const rows16[16] = {
      "0000000000000000", "0ffffffffffffff0", "0f999999999999f0", "0f999999e99999f0",
      "0f99999eee9999f0", "0f9999eeeee999f0", "0f999999e99999f0", "0f999999e99999f0",
      "0f999999e99999f0", "0f999999e99999f0", "0f9999aaaaa999f0", "0f999999999999f0",
      "0f999999999999f0", "0f999999999999f0", "0ffffffffffffff0", "0000000000000000"};
  static const IconDescription icon{{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                     0x808080, 0x2040C0, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0xFFFFFF, 0xFFFFFF},
                                    rows32, rows16};
  return icon;
}

inline FormDescription SampleFormDescription(const char* caption, FormPosition position = FormPosition::Designed,
                                             bool systemMenu = true) {
  ControlDescription image{"Image_Product", ControlKind::Image, 8, 8, 9, 9};
  ControlDescription label{"Lbl_LangVer", ControlKind::Label, 8, 184, 60, 13, "Lang@ver &1\tEnglish"};
  label.autoSize = true;
  ControlDescription hidden{"Lbl_Hidden", ControlKind::Label, 55, 24, 92, 13, "Lbl_Hidden:"};
  hidden.visible = false;
  ControlDescription text{"SText_Preoperate", ControlKind::StaticText, 24, 40, 153, 137,
                          "Connect the device to COM1 (user@example.com) & press the button below to start."};
  text.tabOrder = 0;
  ControlDescription button{"Btn_Flash", ControlKind::Button, 80, 192, 89, 25, "&Flash && go"};
  button.tabOrder = 1;
  ControlDescription bar{"ProgressBar", ControlKind::ProgressBar, 17, 220, 170, 16};
  bar.smooth = true;
  bar.borderWidth = 1;
  return FormDescription{"Sampleform", caption, 198, 132, 203, 243, {systemMenu, true, false}, 0, clWhite,
                         {"MS Sans Serif", -11}, position, &SampleIcon(),
                         {image, label, hidden, text, button, bar}};
}

// A window built from a description that the test keeps alive; the close box is exposed.
class SampleForm : public TForm {
 public:
  explicit SampleForm(const FormDescription& description) : TForm(description) {}
  using TForm::CloseRequested;
};

// An uncompressed bitmap whose pixel at (x, y), top row first, is ExpectedPixel(x, y, bpp).
std::vector<uint8_t> MakeBitmap(int width, int height, int bpp, bool topDown = false);
uint32_t ExpectedPixel(int x, int y, int bpp);  // 0xRRGGBB
