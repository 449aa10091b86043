// The main window, Mainform: product picture, instruction text, language-version line
// and the flash button. It owns the serial port from the first press of the button
// until it is destroyed.
//
//   FormCreate             picture, colour, language file, texts
//   FormDestroy            closes the port
//   Btn_FlashClick         the flash sequence: port, handshake, download, completion
//   ExtractProductPicture  writes the embedded picture to a temporary bitmap and shows it
//   ApplyMainTexts         the window's texts from the text table
//   InitPort               opens PortPath into PortHandle (closing an earlier press's port);
//                          with AutoPorts, the port whose device answers first (the sync,
//                          the probe, or both, as ChosenProtocol says)
//   DownloadFirmware       sends Firmware in the conversation DeviceOpening began,
//                          stepping the progress sink it is given
//
// The device link's failures reach the user through Reporter, as message dialogs.
#pragma once

#include <functional>
#include <vector>

#include "toolkit/toolkit.h"
#include "attempts/conversation.h"
#include "device/serial_port.h"
#include "device/transfer_progress.h"
#include "texts/device_messages.h"

extern const FormDescription kMainformDescription;

class TMainform : public TForm {
 public:
  TMainform();
  void FormCreate() override;
  void FormDestroy() override;
  void Btn_FlashClick();
  void ExtractProductPicture();
  void ApplyMainTexts();
  bool InitPort();
  bool DownloadFirmware(TransferProgress& progress);

  TImage* Image_Product;
  TLabel* Lbl_CurrentVersion;
  TLabel* Lbl_PreviousVersion;
  TLabel* Lbl_LangVer;
  TStaticText* SText_Preoperate;
  TButton* Btn_Flash;

  // The image the button sends: the embedded firmware unless a caller sets another.
  struct Image {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t capacity;  // a size beyond it can only come from a damaged block
  } Firmware;
  std::string PortPath;  // COM1 as this machine names it, unless the command line said
  // --port auto: the candidates at the press of the button; unset otherwise.
  std::function<std::vector<std::string>()> AutoPorts;
  Protocol ChosenProtocol = Protocol::One;  // the conversation (attempts/protocol_choice.h)
  uint32_t MaxBaud = kDefaultMaxBaud;       // the highest rate protocol 2 proposes
  Opening DeviceOpening;                    // what the device answered at this press
  DialogFailureReporter Reporter;
  OwnedPort PortHandle;
};

extern TMainform* Mainform;
