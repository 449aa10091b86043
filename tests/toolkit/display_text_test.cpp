// Texts are shown literally: UTF-8 when they are UTF-8, Windows-1252 otherwise, no "@"
// symbols, and "&" only where an accelerator belongs.
#include <gtest/gtest.h>

#include "toolkit/display_text.h"

TEST(DisplayText, ValidUtf8IsKeptAndAnythingElseIsReadAsWindows1252) {
  EXPECT_EQ(DisplayText("plain ASCII"), "plain ASCII");
  EXPECT_EQ(DisplayText("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(DisplayText("caf\xE9"), "caf\xC3\xA9");
  // The range where Windows-1252 differs from Latin-1: euro sign, quotes, dashes.
  EXPECT_EQ(DisplayText("\x80 \x93x\x94 \x96"), "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x93");
  // The five bytes the code page leaves undefined still show as something.
  EXPECT_EQ(DisplayText("a\x81z\x9D"), "a\xC2\x81z\xC2\x9D");
  // One stray byte makes the whole text Windows-1252, including its UTF-8-looking part.
  EXPECT_EQ(DisplayText("\xC3\xA9\xFF"), "\xC3\x83\xC2\xA9\xC3\xBF");
}

TEST(DisplayText, MalformedUtf8IsNotTakenForUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80")) << "overlong NUL";
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF")) << "overlong slash";
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")) << "beyond U+10FFFF";
  EXPECT_FALSE(IsValidUtf8("\xE2\x82")) << "cut short";
  EXPECT_FALSE(IsValidUtf8("\x80")) << "continuation alone";
}

TEST(DisplayText, AtSignsAreAlwaysShownLiterally) {
  EXPECT_EQ(LiteralText("user@example.com"), "user@@example.com");
  EXPECT_EQ(LiteralText("@->"), "@@->");
  EXPECT_EQ(LiteralText("@@"), "@@@@");
  EXPECT_EQ(LiteralText("\xE9@"), "\xC3\xA9@@");
  EXPECT_EQ(LiteralText("Flash & go"), "Flash & go") << "left for the button to draw";
}

TEST(DisplayText, AcceleratorMarksAreTakenOutWhereTheyAreNotDrawn) {
  EXPECT_EQ(AcceleratorFreeText("&Flash"), "Flash");
  EXPECT_EQ(AcceleratorFreeText("Save && exit"), "Save & exit");
  EXPECT_EQ(AcceleratorFreeText("&&&x"), "&x");
  EXPECT_EQ(AcceleratorFreeText("ends in &"), "ends in ");
  EXPECT_EQ(AcceleratorFreeText("a&@b"), "a@@b");
  EXPECT_EQ(AcceleratorFreeText("line\n&next\t"), "line\nnext\t");
}

TEST(DisplayText, LabelsAndButtonsKeepTheirMarksForTheToolkitToDrawAsWindowsDoes) {
  // The texts that the Windows build's tests give a label and a button: the marks reach
  // the toolkit, which underlines the marked letter and shows "&&" as one "&".
  EXPECT_EQ(LiteralText("Lang@ver &1\tEnglish"), "Lang@@ver &1\tEnglish");
  EXPECT_EQ(LiteralText("&Flash && go"), "&Flash && go");
  EXPECT_EQ(AcceleratorFreeText("Lang@ver &1\tEnglish"), "Lang@@ver 1\tEnglish");
  EXPECT_EQ(AcceleratorFreeText("&Flash && go"), "Flash & go");
}
