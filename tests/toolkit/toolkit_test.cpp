// The toolkit's rules without a display: the application's title, windows and their
// controls keeping every property, the close box, progress bars, and exceptions shown in
// the error box.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "tests/toolkit/sample_form.h"
#include "tests/support/dialog_recorder.h"

namespace {

std::vector<std::string> g_events;

FormDescription SmallDescription() {
  FormDescription small = SampleFormDescription("Small");
  small.left = 10, small.top = 5, small.clientWidth = 40, small.clientHeight = 30;
  return small;
}

const FormDescription kMainDescription = SampleFormDescription("Mainform");
const FormDescription kCentredDescription = SampleFormDescription("Centred", FormPosition::MainFormCenter);
const FormDescription kNoMenuDescription = SampleFormDescription("NoMenu", FormPosition::Designed, false);
const FormDescription kSmallDescription = SmallDescription();

// A window that records its handlers' runs; onCreate is what its FormCreate then does.
template <const FormDescription& D>
class RecordingForm : public SampleForm {
 public:
  static RecordingForm* global;
  static std::function<void()> onCreate;
  RecordingForm() : SampleForm(D) {}
  void FormCreate() override {
    g_events.push_back(Caption() + (global == this ? " created, global set" : " created, global NOT set"));
    if (onCreate) onCreate();
    g_events.push_back(Caption() + " FormCreate ran to its end");
  }
  void FormDestroy() override {
    g_events.push_back("destroy " + Caption());
    if (Caption() == "throws") throw Exception("in destroy");
  }
};
template <const FormDescription& D>
RecordingForm<D>* RecordingForm<D>::global;
template <const FormDescription& D>
std::function<void()> RecordingForm<D>::onCreate;

using MainForm = RecordingForm<kMainDescription>;
using CentredForm = RecordingForm<kCentredDescription>;
using NoMenuForm = RecordingForm<kNoMenuDescription>;
using SmallForm = RecordingForm<kSmallDescription>;

class Toolkit : public testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    MainForm::onCreate = CentredForm::onCreate = NoMenuForm::onCreate = nullptr;
  }
  void CreateAll() {
    app.CreateForm(MainForm::global);
    app.CreateForm(CentredForm::global);
    app.CreateForm(NoMenuForm::global);
  }
  TApplication app;
  DialogRecorder dialogs;
};

}  // namespace

TEST(ApplicationTitle, IsTheFileNameCutAtItsFirstDotWithTheRestInLowerCase) {
  EXPECT_EQ(TApplication::TitleFromProgramPath("C:\\DIR\\FWFLASH.EXE"), "Fwflash");
  EXPECT_EQ(TApplication::TitleFromProgramPath("/x/fwflash"), "fwflash");
  EXPECT_EQ(TApplication::TitleFromProgramPath("/usr/bin/fwflash"), "fwflash");
  EXPECT_EQ(TApplication::TitleFromProgramPath("a.b.c"), "a");
  EXPECT_EQ(TApplication::TitleFromProgramPath("./build/FwFlash.Test.exe"), "Fwflash");
  EXPECT_EQ(TApplication::TitleFromProgramPath("C:/mixed\\dirs/TOOL"), "Tool");
  EXPECT_EQ(TApplication::TitleFromProgramPath(".hidden"), "");
  EXPECT_EQ(TApplication::TitleFromProgramPath(""), "");
}

TEST(ErrorBox, AppendsAFullStopOnlyAfterACharacterThatSortsAfterIt) {
  EXPECT_EQ(ErrorBoxText(""), "");
  EXPECT_EQ(ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!") << "'!' sorts before '.'";
  EXPECT_EQ(ErrorBoxText("a, b,"), "a, b,");
  EXPECT_EQ(ErrorBoxText("Cannot open"), "Cannot open.");
  EXPECT_EQ(ErrorBoxText("Error 42"), "Error 42.");
  EXPECT_EQ(ErrorBoxText("caf\xE9"), "caf\xE9.") << "bytes above 0x7F sort after '.'";
}

TEST_F(Toolkit, AWindowWithoutADisplayKeepsEveryProperty) {
  app.Initialize("/x/fwflash");
  EXPECT_FALSE(app.HasDisplay());
  EXPECT_EQ(app.Title(), "fwflash");
  CreateAll();
  MainForm& form = *MainForm::global;
  EXPECT_EQ(app.MainForm(), &form);
  EXPECT_EQ(form.Name(), "Sampleform");
  EXPECT_EQ(form.Caption(), "Mainform");
  EXPECT_FALSE(form.Visible()) << "windows start hidden";
  EXPECT_TRUE(form.Enabled());
  EXPECT_EQ(form.Color(), clWhite);
  EXPECT_EQ(form.Left(), 198);
  EXPECT_EQ(form.Top(), 132);
  EXPECT_EQ(form.ClientWidth(), 203);
  EXPECT_EQ(form.ClientHeight(), 243);

  std::vector<std::string> names;
  for (const auto& control : form.Controls()) names.push_back(control->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Image_Product", "Lbl_LangVer", "Lbl_Hidden", "SText_Preoperate",
                                             "Btn_Flash", "ProgressBar"}));
  auto* text = form.Control<TStaticText>("SText_Preoperate");
  EXPECT_EQ(text->Left(), 24);
  EXPECT_EQ(text->Top(), 40);
  EXPECT_EQ(text->Width(), 153);
  EXPECT_EQ(text->Height(), 137);
  EXPECT_FALSE(form.Control<TLabel>("Lbl_Hidden")->Visible());
  EXPECT_EQ(form.Control<TButton>("Btn_Flash")->Caption(), "&Flash && go");
  EXPECT_THROW(form.Control<TLabel>("Btn_Flash"), Exception) << "a control of another kind";
  EXPECT_THROW(form.Control<TLabel>("Lbl_Nothing"), Exception);
  EXPECT_EQ(form.FindControl("Lbl_Nothing"), nullptr);

  form.SetColor(0xA86156);
  form.SetCaption("Firmware Flash Program\n");
  text->SetCaption("caf\xE9 @ 100%");
  form.SetEnabled(false);
  form.Show();
  EXPECT_EQ(form.Color(), 0xA86156u);
  EXPECT_EQ(form.Caption(), "Firmware Flash Program\n");
  EXPECT_EQ(text->Caption(), "caf\xE9 @ 100%") << "captions keep their 8-bit bytes";
  EXPECT_FALSE(form.Enabled());
  EXPECT_TRUE(form.Visible());
  form.Hide();
  EXPECT_FALSE(form.Visible());
}

TEST_F(Toolkit, AWindowPlacedAtTheMainWindowsCentreIsCentredOverItOnItsFirstShow) {
  CreateAll();
  CentredForm::global->Show();
  EXPECT_EQ(CentredForm::global->Left(), 198);  // same size as the main window: same place
  EXPECT_EQ(CentredForm::global->Top(), 132);
  NoMenuForm::global->Show();
  EXPECT_EQ(NoMenuForm::global->Left(), 198) << "designed position kept";
}

TEST_F(Toolkit, CentringNeverGivesNegativeCoordinates) {
  app.CreateForm(SmallForm::global);  // 40 x 30 at 10, 5: the main window
  app.CreateForm(CentredForm::global);
  CentredForm::global->Show();
  EXPECT_EQ(CentredForm::global->Left(), 0);
  EXPECT_EQ(CentredForm::global->Top(), 0);
}

TEST_F(Toolkit, TheCloseBoxEndsTheAppHidesAWindowOrIsIgnoredWithoutASystemMenu) {
  CreateAll();
  for (TForm* form : std::vector<TForm*>{MainForm::global, CentredForm::global, NoMenuForm::global}) form->Show();
  NoMenuForm::global->CloseRequested();
  EXPECT_TRUE(NoMenuForm::global->Visible()) << "a window without a close box stays";
  CentredForm::global->CloseRequested();
  EXPECT_FALSE(CentredForm::global->Visible());
  EXPECT_FALSE(app.Terminated()) << "closing a secondary window leaves the program running";
  MainForm::global->CloseRequested();
  EXPECT_TRUE(app.Terminated());
}

TEST_F(Toolkit, RunShowsTheMainWindowUnlessTheEndWasRequestedBefore) {
  CreateAll();
  app.Terminate();
  app.Run();
  EXPECT_FALSE(MainForm::global->Visible()) << "Run returned at once";
}

TEST_F(Toolkit, RunWithoutADisplayShowsOnlyTheMainWindowAndReturns) {
  CreateAll();
  app.Run();
  EXPECT_TRUE(MainForm::global->Visible());
  EXPECT_FALSE(CentredForm::global->Visible());
  EXPECT_FALSE(NoMenuForm::global->Visible());
}

TEST_F(Toolkit, EachGlobalIsSetBeforeItsCreationHandlerAndExceptionsThereAreShown) {
  MainForm::onCreate = [] { throw Exception("Bitmap image is not valid"); };
  CentredForm::onCreate = [] { throw std::runtime_error("not the toolkit's"); };
  NoMenuForm::onCreate = [] { throw 42; };
  CreateAll();
  EXPECT_EQ(g_events, (std::vector<std::string>{"Mainform created, global set", "Centred created, global set",
                                                "NoMenu created, global set"}))
      << "each handler stops at its exception, start-up goes on";
  EXPECT_EQ(dialogs.Errors(), (std::vector<std::string>{"Bitmap image is not valid.", "", ""}));
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Toolkit, AnExceptionInAClickHandlerIsShownAndTheProgramGoesOn) {
  CreateAll();
  TButton* button = MainForm::global->Control<TButton>("Btn_Flash");
  int clicks = 0;
  button->OnClick = [&clicks] {
    if (++clicks == 1) throw Exception("Cannot open COM1 port!");
  };
  button->Click();
  button->Click();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Cannot open COM1 port!"});
  TButton* noHandler = MainForm::global->Control<TButton>("Btn_Flash");
  noHandler->OnClick = nullptr;
  EXPECT_NO_THROW(noHandler->Click());
}

TEST_F(Toolkit, WindowsAreDestroyedLastFirstEvenWhenADestructionHandlerThrows) {
  CreateAll();
  CentredForm::global->SetCaption("throws");
  app.DestroyForms();
  EXPECT_EQ(g_events.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(g_events.end() - 3, g_events.end()),
            (std::vector<std::string>{"destroy NoMenu", "destroy throws", "destroy Mainform"}));
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"in destroy."});
  EXPECT_EQ(app.MainForm(), nullptr);
}

TEST_F(Toolkit, AProgressBarStepsAndStaysWithinItsRangeBeyondSixteenBits) {
  CreateAll();
  TProgressBar* bar = MainForm::global->Control<TProgressBar>("ProgressBar");
  EXPECT_EQ(bar->Min(), 0);
  EXPECT_EQ(bar->Max(), 100);
  EXPECT_EQ(bar->Step(), 1);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetMin(0);
  bar->SetMax(112'000);
  bar->SetPosition(0);
  for (int i = 0; i < 70'000; ++i) bar->StepIt();
  EXPECT_EQ(bar->Position(), 70'000) << "one step per call, past 65,535";
  bar->SetPosition(200'000);
  EXPECT_EQ(bar->Position(), 112'000);
  bar->SetPosition(-5);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetMax(INT32_MAX);
  bar->SetStep(1'000'000'000);
  bar->SetPosition(INT32_MAX - 10);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), INT32_MAX) << "no overflow at the top";
  bar->SetMax(10);
  EXPECT_EQ(bar->Position(), 10) << "a smaller maximum pulls the position in";
  bar->SetMin(INT32_MIN);
  bar->SetStep(-7);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 3);
}
