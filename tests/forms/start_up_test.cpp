// Creating the windows as the program does: picture, colour, texts, and what a damaged
// picture or a language file changes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "payload/payload_block.h"
#include "tests/forms/windows_fixture.h"
#include "forms/Done.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "forms/temporary_picture.h"
#include "forms/window_style.h"

namespace {

TEST_F(WindowsTest, WithoutALanguageFileEveryWindowShowsTheDefaults) {
  CreateWindows();
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_EQ(Mainform->Caption(), "Firmware Flash Program");
  EXPECT_EQ(Mainform->Btn_Flash->Caption(), "Flash!");
  EXPECT_EQ(Mainform->Lbl_LangVer->Caption(), " ");
  EXPECT_EQ(Mainform->SText_Preoperate->Caption(), " ");
  EXPECT_EQ(Form_Progress->Caption(), "Flashing... Please Wait!");
  EXPECT_EQ(Form_Done->Caption(), "Congratulation");
  EXPECT_EQ(Form_Done->Lbl_Success->Caption(), "Download successfully");
  EXPECT_EQ(Form_Done->SText_Postoperate->Caption(), " ");
  EXPECT_EQ(Form_Done->Btn_Done->Caption(), "DONE!");
  for (TForm* form : {static_cast<TForm*>(Mainform), static_cast<TForm*>(Form_Progress),
                      static_cast<TForm*>(Form_Done)}) {
    EXPECT_EQ(form->Color(), kWindowColor) << form->Name();
    EXPECT_FALSE(form->Visible()) << form->Name();
  }
  EXPECT_EQ(app_.MainForm(), Mainform);
}

TEST_F(WindowsTest, EachWindowsTitleBarOffersWhatItsBorderIconsAllow) {
  CreateWindows();
  auto titleBar = [](const TForm& form) {
    const TForm::TitleBarButtons bar = form.TitleBar();
    return form.Caption() + ":" + (bar.close ? " close" : "") + (bar.minimize ? " minimise" : "") +
           (bar.maximize ? " maximise" : "");
  };
  EXPECT_EQ(titleBar(*Mainform), "Firmware Flash Program: close minimise");
  // Its stored minimise button has no system menu to sit beside.
  EXPECT_EQ(titleBar(*Form_Progress), "Flashing... Please Wait!:");
  EXPECT_EQ(titleBar(*Form_Done), "Congratulation: close minimise maximise");
}

TEST_F(WindowsTest, TheVersionLabelsStayHiddenAndUnchanged) {
  WriteLanguageFile("v1\nv2\nv3\n");
  CreateWindows();
  EXPECT_FALSE(Mainform->Lbl_CurrentVersion->Visible());
  EXPECT_FALSE(Mainform->Lbl_PreviousVersion->Visible());
  EXPECT_EQ(Mainform->Lbl_CurrentVersion->Caption(), "Lbl_CurrentVersion:");
  EXPECT_EQ(Mainform->Lbl_PreviousVersion->Caption(), "Lbl_PreviousVersion:");
  EXPECT_EQ(Form_Progress->Lbl_CurrentVersion2->Caption(), "Lbl_CurrentVersion2:");
}

TEST_F(WindowsTest, ALanguageFileReachesAllThreeWindowsUnchanged) {
  WriteLanguageFile("Version 2\n\n\nDr\xfc" "cken Sie\tFlash\nFlashen!\nFlash-Programm\n"
                    "Bitte warten...\nGl\xfc" "ckwunsch\nFertig.\nFERTIG!\nErfolgreich\n");
  CreateWindows();
  EXPECT_EQ(Mainform->Lbl_LangVer->Caption(), "Version 2\n");
  EXPECT_EQ(Mainform->SText_Preoperate->Caption(), "Dr\xfc" "cken Sie\tFlash\n");
  EXPECT_EQ(Mainform->Btn_Flash->Caption(), "Flashen!\n");
  EXPECT_EQ(Mainform->Caption(), "Flash-Programm\n");
  EXPECT_EQ(Form_Progress->Caption(), "Bitte warten...\n");
  EXPECT_EQ(Form_Done->Caption(), "Gl\xfc" "ckwunsch\n");
  EXPECT_EQ(Form_Done->SText_Postoperate->Caption(), "Fertig.\n");
  EXPECT_EQ(Form_Done->Btn_Done->Caption(), "FERTIG!\n");
  EXPECT_EQ(Form_Done->Lbl_Success->Caption(), "Erfolgreich\n");
}

TEST_F(WindowsTest, TheProductPictureIsWrittenToANewPairOfFilesAtEveryStart) {
  CreateWindows();
  EXPECT_EQ(Mainform->Image_Product->Picture().Width(), 48);
  EXPECT_EQ(Mainform->Image_Product->Picture().Height(), 48);
  app_.DestroyForms();
  CreateWindows();

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(tmpDir_))
    names.push_back(entry.path().filename().string());
  ASSERT_EQ(names.size(), 4u);  // two empty "pic" files, each with its ".bmp" twin
  std::ifstream shipped(std::string(FWFLASH_SOURCE_DIR) + "/payload/product_picture.bmp",
                        std::ios::binary);
  std::string picture((std::istreambuf_iterator<char>(shipped)), {});
  for (const std::string& name : names) {
    std::ifstream file(tmpDir_ + "/" + name, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(file)), {});
    bool isPicture = name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0;
    EXPECT_EQ(name.compare(0, 3, "pic"), 0) << name;
    EXPECT_EQ(contents, isPicture ? picture : std::string()) << name;
  }
}

TEST_F(WindowsTest, APictureFileIsNeverWrittenThroughANameSomeonePlacedThere) {
  const uint8_t bytes[] = {'B', 'M'};
  size_t written = 0;
  std::string target = workDir_ + "/victim", link = tmpDir_ + "/pic123.bmp";
  std::ofstream(target) << "keep";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_FALSE(CreateNewPictureFile(link, bytes, sizeof bytes, written));
  std::string dangling = tmpDir_ + "/pic456.bmp";
  ASSERT_EQ(symlink((workDir_ + "/created").c_str(), dangling.c_str()), 0);
  EXPECT_FALSE(CreateNewPictureFile(dangling, bytes, sizeof bytes, written));
  std::string existing = tmpDir_ + "/pic789.bmp";
  std::ofstream(existing) << "theirs";
  EXPECT_FALSE(CreateNewPictureFile(existing, bytes, sizeof bytes, written));

  std::ifstream victim(target), theirs(existing);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(victim)), {}), "keep");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(theirs)), {}), "theirs");
  struct stat info;
  EXPECT_NE(stat((workDir_ + "/created").c_str(), &info), 0);
}

TEST_F(WindowsTest, WithNoTemporaryDirectoryTheWindowStartsWithoutPictureOrMessage) {
  setenv("TMPDIR", (workDir_ + "/missing").c_str(), 1);
  CreateWindows();
  EXPECT_TRUE(dialogs_.All().empty());
  EXPECT_TRUE(Mainform->Image_Product->Picture().Empty());
  EXPECT_EQ(Mainform->Caption(), "Firmware Flash Program");
}

class DamagedPictureTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    std::memcpy(saved_, Payload.ProductPicture, sizeof saved_);
    Payload.ProductPicture[28] = 99;  // bits per pixel
  }
  void TearDown() override {
    std::memcpy(Payload.ProductPicture, saved_, sizeof saved_);
    WindowsTest::TearDown();
  }
  uint8_t saved_[64];
};

TEST_F(DamagedPictureTest, TheErrorBoxStopsTheMainWindowsCreationButNotTheOthers) {
  WriteLanguageFile(" \n \n \n \nFlashen!\nFlash-Programm\nBitte warten...\nGl\xfc" "ckwunsch\n");
  CreateWindows();
  EXPECT_EQ(dialogs_.Errors(), std::vector<std::string>{"Bitmap image is not valid."});
  EXPECT_TRUE(dialogs_.Messages().empty());
  EXPECT_EQ(Mainform->Color(), clWhite);
  EXPECT_EQ(Mainform->Caption(), "Mainform");
  EXPECT_EQ(Mainform->Btn_Flash->Caption(), "Btn_Flash");
  // The language file was never read: the later windows take the defaults.
  EXPECT_EQ(Form_Progress->Caption(), "Flashing... Please Wait!");
  EXPECT_EQ(Form_Done->Caption(), "Congratulation");
  EXPECT_EQ(Form_Done->Color(), kWindowColor);
}

}  // namespace
