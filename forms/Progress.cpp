#include "forms/Progress.h"

#include "texts/text_table.h"
#include "forms/window_style.h"

TForm_Progress* Form_Progress = nullptr;

TForm_Progress::TForm_Progress()
    : TForm(kForm_ProgressDescription),
      Lbl_CurrentVersion2(Control<TLabel>("Lbl_CurrentVersion2")),
      ProgressBar(Control<TProgressBar>("ProgressBar")) {}

void TForm_Progress::FormCreate() {
  Form_Progress->SetColor(kWindowColor);
  Form_Progress->SetCaption(ReadTextSlot(kTextProgressTitle));
}

void TForm_Progress::ByteAccepted() { ProgressBar->StepIt(); }

void TForm_Progress::FrameAccepted(uint32_t bytes) {
  ProgressBar->SetPosition(static_cast<int32_t>(ProgressBar->Position() + static_cast<int64_t>(bytes)));
}
