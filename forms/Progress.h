// The progress window, Form_Progress: visible while a download runs; its bar steps once
// for every byte the device accepted.
//
//   FormCreate     colour, then the title from the text table
//   ByteAccepted   one step of ProgressBar (the transfer's progress report)
//   FrameAccepted  one step of a frame's bytes: the bar is drawn once per frame, so that
//                  its drawing keeps pace with the fastest line
#pragma once

#include "toolkit/toolkit.h"
#include "device/transfer_progress.h"

extern const FormDescription kForm_ProgressDescription;

class TForm_Progress : public TForm, public TransferProgress {
 public:
  TForm_Progress();
  void FormCreate() override;
  void ByteAccepted() override;
  void FrameAccepted(uint32_t bytes) override;

  TLabel* Lbl_CurrentVersion2;
  TProgressBar* ProgressBar;
};

extern TForm_Progress* Form_Progress;
