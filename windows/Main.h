// The main window, Mainform: product picture, instruction text, language-version line
// and the flash button. It owns the serial port from the first press of the button
// until it is destroyed.
//
//   FormCreate             picture, colour, language file, texts
//   FormDestroy            closes the port
//   Btn_FlashClick         the flash sequence: port, handshake, download, completion
//   ExtractProductPicture  writes the embedded picture to a temporary bitmap and shows it
//   ApplyMainTexts         the window's texts from the text table
//   InitPort               opens COM1 into PortHandle (closing an earlier press's handle)
//   DownloadFirmware       sends the embedded firmware image
#pragma once

#include "app/toolkit.h"
#include "device/serial_port.h"

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
  bool DownloadFirmware();

  TImage* Image_Product;
  TLabel* Lbl_CurrentVersion;
  TLabel* Lbl_PreviousVersion;
  TLabel* Lbl_LangVer;
  TStaticText* SText_Preoperate;
  TButton* Btn_Flash;

  ::PortHandle PortHandle = nullptr;
};

extern TMainform* Mainform;
