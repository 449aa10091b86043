// Texts as the toolkit shows them. The program's texts are 8-bit: UTF-8 when they are
// valid UTF-8, otherwise Windows-1252. Every text is shown literally.
//
//   IsValidUtf8, DisplayText the text in UTF-8 (text_encoding.h)
//   LiteralText(text)        DisplayText with every "@" doubled, so no symbol is drawn; on a
//                            button, label or static text "&" still marks the accelerator
//                            ("&x" underlines x, "&&" is "&"), as in the Windows build
//   AcceleratorFreeText(t)   LiteralText with the accelerator marks taken out: "&x" shows
//                            "x", "&&" shows "&" (for texts drawn without accelerators)
#pragma once

#include <string>

#include "toolkit/text_encoding.h"

std::string LiteralText(const std::string& text);
std::string AcceleratorFreeText(const std::string& text);
