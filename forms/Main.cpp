#include "forms/Main.h"

#include <algorithm>
#include <string>

#include "ports/answering_ports.h"
#include "payload/payload_block.h"
#include "texts/language_file.h"
#include "texts/text_table.h"
#include "forms/Done.h"
#include "forms/Progress.h"
#include "forms/temporary_picture.h"
#include "forms/window_style.h"

TMainform* Mainform = nullptr;

namespace {

// The window shows no change of rate.
class Untold : public RateEvents {
 public:
  void RateChanged(uint32_t, uint32_t, bool) override {}
} NoRates;

}  // namespace

TMainform::TMainform()
    : TForm(kMainformDescription),
      Image_Product(Control<TImage>("Image_Product")),
      Lbl_CurrentVersion(Control<TLabel>("Lbl_CurrentVersion")),
      Lbl_PreviousVersion(Control<TLabel>("Lbl_PreviousVersion")),
      Lbl_LangVer(Control<TLabel>("Lbl_LangVer")),
      SText_Preoperate(Control<TStaticText>("SText_Preoperate")),
      Btn_Flash(Control<TButton>("Btn_Flash")),
      Firmware{Payload.FirmwareImage, Payload.FirmwareSize, sizeof Payload.FirmwareImage},
      PortPath(Com1Path()) {
  Btn_Flash->OnClick = [this] { Btn_FlashClick(); };
}

void TMainform::FormCreate() {
  ExtractProductPicture();
  Mainform->SetColor(kWindowColor);
  LoadLanguageFile();
  ApplyMainTexts();
}

void TMainform::FormDestroy() { PortHandle.reset(); }

void TMainform::ExtractProductPicture() {
  // A size beyond the picture's room can only come from a damaged block: only the room
  // is written then, and the short write is reported.
  size_t size = std::min<size_t>(Payload.ProductPictureSize, sizeof Payload.ProductPicture);
  std::string fileName;
  size_t written = 0;
  if (!WriteTemporaryPicture(Payload.ProductPicture, size, fileName, written)) return;
  if (written < Payload.ProductPictureSize) ShowTextMessage(kTextCannotWritePicture);
  Image_Product->Picture().LoadFromFile(fileName);
  Image_Product->Repaint();
}

void TMainform::ApplyMainTexts() {
  Lbl_LangVer->SetCaption(ReadTextSlot(kTextLangVer));
  SText_Preoperate->SetCaption(ReadTextSlot(kTextPreoperate));
  Btn_Flash->SetCaption(ReadTextSlot(kTextFlashButton));
  Mainform->SetCaption(ReadTextSlot(kTextMainTitle));
}

bool TMainform::InitPort() {
  // A port that an earlier press opened is still held for exclusive use: release it, or
  // this press could not open it again.
  PortHandle.reset();
  if (AutoPorts) {
    // No answer is told as a port that does not open, with the same messages.
    std::vector<AnsweringPort> answered = FindAnsweringPorts(AutoPorts(), ChosenProtocol != Protocol::One,
                                                             ChosenProtocol != Protocol::Two, nullptr, true);
    if (answered.empty()) return ReportFailure(Reporter, {DeviceStep::OpenPort});
    PortHandle = std::move(answered.front().port);
    DeviceOpening = Opening();
    DeviceOpening.framed = answered.front().framed;
    DeviceOpening.caps = answered.front().caps;
    return true;
  }
  PortHandle.reset(OpenPort(PortPath, Reporter));
  return PortHandle != nullptr;
}

bool TMainform::DownloadFirmware(TransferProgress& progress) {
  // Only a damaged block has no image or one beyond its room: nothing of it is sent.
  if (Firmware.size == 0 || Firmware.size > Firmware.capacity) {
    Reporter.Report({DeviceStep::SendData});
    return false;
  }
  uint32_t baud = 0;
  return SendImage(PortHandle.get(), DeviceOpening, Firmware.bytes, Firmware.size, MaxBaud, progress, NoRates,
                   Reporter, baud, false);
}

void TMainform::Btn_FlashClick() {
  SetEnabled(false);
  Form_Progress->Show();
  Form_Progress->ProgressBar->SetMin(0);
  Form_Progress->ProgressBar->SetMax(static_cast<int32_t>(Firmware.size));
  Form_Progress->ProgressBar->SetPosition(0);
  if (!InitPort()) {
    ShowTextMessage(kTextCannotInitCom1);
    Application->Terminate();
  } else {
    // An unacknowledged sync still goes on; a found port's device has answered already.
    if (!AutoPorts) OpenConversation(PortHandle.get(), ChosenProtocol, DeviceOpening, Reporter);
    if (DownloadFirmware(*Form_Progress)) Form_Done->Show();
  }
  SetEnabled(true);
  Form_Progress->Hide();
}
