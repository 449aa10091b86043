// The completion window, Form_Done: shown after a successful download; its button
// ends the program, its close box only hides it.
//
//   FormCreate     colour, title, success label, closing instruction, button caption
//   Btn_DoneClick  hides the window and requests the end of the application
#pragma once

#include "toolkit/toolkit.h"

extern const FormDescription kForm_DoneDescription;

class TForm_Done : public TForm {
 public:
  TForm_Done();
  void FormCreate() override;
  void Btn_DoneClick();

  TLabel* Lbl_Success;
  TStaticText* SText_Postoperate;
  TButton* Btn_Done;
};

extern TForm_Done* Form_Done;
