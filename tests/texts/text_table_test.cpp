// The text table: its defaults, how an overwrite lands in a slot, and ShowTextMessage.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/dialog_recorder.h"
#include "tests/texts/default_texts_fixture.h"
#include "texts/text_table.h"

namespace {

using TextTableTest = DefaultTextsTest;

TEST_F(TextTableTest, HoldsTheEnglishDefaultsWithZerosBehindThem) {
  EXPECT_EQ(ReadTextSlot(kTextLangVer), " ");
  EXPECT_EQ(ReadTextSlot(kTextPreoperate), " ");
  EXPECT_EQ(ReadTextSlot(kTextPostoperate), " ");
  EXPECT_EQ(ReadTextSlot(kTextFlashButton), "Flash!");
  EXPECT_EQ(ReadTextSlot(kTextMainTitle), "Firmware Flash Program");
  EXPECT_EQ(ReadTextSlot(kTextProgressTitle), "Flashing... Please Wait!");
  EXPECT_EQ(ReadTextSlot(kTextDoneTitle), "Congratulation");
  EXPECT_EQ(ReadTextSlot(kTextDoneButton), "DONE!");
  EXPECT_EQ(ReadTextSlot(kTextSuccessLabel), "Download successfully");
  EXPECT_EQ(ReadTextSlot(kTextCannotInitCom1), "Cannot initialize com1, exit...");
  EXPECT_EQ(ReadTextSlot(kTextSetTimeoutsError), "SetCommTimeouts error!!!");
  EXPECT_EQ(ReadTextSlot(kTextCannotOpenPort), "Cannot open COM1 port!");
  EXPECT_EQ(ReadTextSlot(kTextCannotReadPort), "Cannot read from comm port!");
  EXPECT_EQ(ReadTextSlot(kTextNoAck5A), "Cannot receive ack 0x5a from device!");
  EXPECT_EQ(ReadTextSlot(kTextCannotSendEof), "Cannot send EOF to device!");
  EXPECT_EQ(ReadTextSlot(kTextNoDeviceId), "Cannot get device ID string");
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    const char* bytes = TextSlotBytes(slot);
    size_t length = std::strlen(bytes);
    for (size_t i = length; i < kTextSlotSize; ++i) ASSERT_EQ(bytes[i], '\0') << "slot " << slot;
  }
}

TEST_F(TextTableTest, AnOverwriteCopiesTextAndNulAndLeavesTheOldBytesBehind) {
  OverwriteTextSlot(kTextMainTitle, "Flasher", 7);
  EXPECT_EQ(ReadTextSlot(kTextMainTitle), "Flasher");
  EXPECT_EQ(std::string(TextSlotBytes(kTextMainTitle) + 8), " Flash Program");  // "Firmware Flash Program"
  EXPECT_EQ(ReadTextSlot(kTextMainTitle + 1), "Flashing... Please Wait!");
}

TEST_F(TextTableTest, TheLongestTextsStillEndInsideTheirSlot) {
  std::string text254(254, 'x'), text300(300, 'y');
  OverwriteTextSlot(kTextFlashButton, text254.data(), text254.size());
  EXPECT_EQ(TextSlotBytes(kTextFlashButton)[254], '\0');
  EXPECT_EQ(ReadTextSlot(kTextFlashButton), text254);
  OverwriteTextSlot(kTextFlashButton, text300.data(), text300.size());
  EXPECT_EQ(ReadTextSlot(kTextFlashButton), std::string(255, 'y'));
  EXPECT_EQ(ReadTextSlot(kTextMainTitle), "Firmware Flash Program");
}

TEST_F(TextTableTest, ShowTextMessageShowsTheSlotsCurrentText) {
  DialogRecorder dialogs;
  ShowTextMessage(kTextCannotOpenPort);
  OverwriteTextSlot(kTextCannotOpenPort, "Port fehlt\n", 11);
  ShowTextMessage(kTextCannotOpenPort);
  EXPECT_EQ(dialogs.Messages(), (std::vector<std::string>{"Cannot open COM1 port!", "Port fehlt\n"}));
}

}  // namespace
