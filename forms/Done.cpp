#include "forms/Done.h"

#include "texts/text_table.h"
#include "forms/window_style.h"

TForm_Done* Form_Done = nullptr;

TForm_Done::TForm_Done()
    : TForm(kForm_DoneDescription),
      Lbl_Success(Control<TLabel>("Lbl_Success")),
      SText_Postoperate(Control<TStaticText>("SText_Postoperate")),
      Btn_Done(Control<TButton>("Btn_Done")) {
  Btn_Done->OnClick = [this] { Btn_DoneClick(); };
}

void TForm_Done::FormCreate() {
  Form_Done->SetColor(kWindowColor);
  Form_Done->SetCaption(ReadTextSlot(kTextDoneTitle));
  Lbl_Success->SetCaption(ReadTextSlot(kTextSuccessLabel));
  SText_Postoperate->SetCaption(ReadTextSlot(kTextPostoperate));
  Btn_Done->SetCaption(ReadTextSlot(kTextDoneButton));
}

void TForm_Done::Btn_DoneClick() {
  Hide();
  Application->Terminate();
}
