// The toolkit layer: what the program takes from its windowing toolkit, in the toolkit's
// own terms, on top of a platform backend (FLTK on Linux).
//
//   TApplication / Application   title, CreateForm (global assigned before FormCreate runs),
//                                Run, Terminate, ShowException (the error box)
//   TForm                        a window built from its stored FormDescription: Show, Hide,
//                                SetEnabled, SetColor, SetCaption; FormCreate and FormDestroy
//                                are the handlers that derived windows override
//   TLabel, TStaticText          text on a window (a static text box has a sunken bevel)
//   TButton                      OnClick, run by a press
//   TImage, TPicture             a picture loaded from a file by name, drawn clipped
//   TProgressBar                 32-bit Min, Max, Position, Step; StepIt shows at once
//   Exception                    the toolkit's exception class
//
// A window's stored description is data (a FormDescription with its controls' table),
// kept apart from the window class that gives it behaviour. Texts are 8-bit: shown as
// UTF-8 when valid, otherwise as Windows-1252, and literally, but for "&", which marks an
// accelerator in the texts of buttons, labels and static texts ("&&" shows one "&").
//
// Without a display (DISPLAY unset) the layer keeps every property but draws nothing, so
// windows and their handlers run in tests that have no X server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/form_description.h"

// The toolkit's exception class: its message is what the error box shows.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TForm;

class TControl {
 public:
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const;
  ControlKind Kind() const;
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  bool Visible() const;
  std::string Caption() const;
  void SetCaption(const std::string& text);

  struct Peer;  // the backend's widget

 protected:
  TControl(TForm& owner, const ControlDescription& description);
  Peer& peer() const { return *peer_; }

 private:
  friend class TForm;
  std::unique_ptr<Peer> peer_;
};

class TLabel : public TControl {
 public:
  TLabel(TForm& owner, const ControlDescription& description);
};

class TStaticText : public TControl {
 public:
  TStaticText(TForm& owner, const ControlDescription& description);
};

class TButton : public TControl {
 public:
  TButton(TForm& owner, const ControlDescription& description);
  // Runs OnClick as a press of the button does; an exception goes to the error box.
  void Click();
  std::function<void()> OnClick;
};

class TPicture {
 public:
  TPicture();
  ~TPicture();
  // Loads the file by name; the extension (any case) chooses the loader. A 0-byte file
  // gives an empty picture; a damaged one throws Exception ("Bitmap image is not valid",
  // "Stream read error").
  void LoadFromFile(const std::string& fileName);
  bool Empty() const;
  int Width() const;
  int Height() const;

  struct Data;  // the decoded picture

  const Data* data() const { return data_.get(); }

 private:
  std::unique_ptr<Data> data_;
};

class TImage : public TControl {
 public:
  TImage(TForm& owner, const ControlDescription& description);
  TPicture& Picture() { return picture_; }
  // Draws the picture again: from its top-left corner, clipped to the control.
  void Repaint();

 private:
  TPicture picture_;
};

class TProgressBar : public TControl {
 public:
  TProgressBar(TForm& owner, const ControlDescription& description);
  int32_t Min() const;
  int32_t Max() const;
  int32_t Position() const;
  int32_t Step() const;
  void SetMin(int32_t value);
  void SetMax(int32_t value);
  void SetPosition(int32_t value);  // kept within Min .. Max
  void SetStep(int32_t value);
  // Adds Step to Position and shows the new position at once, even while a handler
  // holds the user-interface thread; handles no input.
  void StepIt();

 private:
  int32_t min_, max_, position_, step_;
};

class TForm {
 public:
  explicit TForm(const FormDescription& description);  // hidden, controls created
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  virtual void FormCreate() {}
  virtual void FormDestroy() {}

  const std::string& Name() const;
  const FormDescription& Description() const { return description_; }

  void Show();  // modeless, activated
  void Hide();
  bool Visible() const;
  // A disabled window takes no input; input that reached it meanwhile is thrown away.
  void SetEnabled(bool enabled);
  bool Enabled() const;
  void SetColor(TColor color);
  TColor Color() const;
  void SetCaption(const std::string& text);
  std::string Caption() const;
  int Left() const;
  int Top() const;
  int ClientWidth() const;
  int ClientHeight() const;

  // The buttons its title bar offers, from the stored border icons: the close box comes
  // with the system menu, and minimise and maximise only beside it. The border is fixed,
  // so a window manager may still refuse to maximise.
  struct TitleBarButtons {
    bool close, minimize, maximize;
  };
  TitleBarButtons TitleBar() const;

  // The control of that name and kind; throws Exception when there is none.
  template <class T>
  T* Control(const std::string& name) const {
    T* control = dynamic_cast<T*>(FindControl(name));
    if (control == nullptr) throw Exception("Control " + name + " not found in " + Name());
    return control;
  }
  TControl* FindControl(const std::string& name) const;
  const std::vector<std::unique_ptr<TControl>>& Controls() const { return controls_; }

  struct Peer;  // the backend's window
  Peer& peer() const { return *peer_; }

 protected:
  // The close box: the main window requests the end of the application, any other
  // window only hides itself.
  virtual void CloseRequested();

 private:
  const FormDescription& description_;
  std::unique_ptr<Peer> peer_;
  std::vector<std::unique_ptr<TControl>> controls_;
};

class TApplication {
 public:
  TApplication();
  ~TApplication();  // destroys the windows in reverse order of creation

  // Sets the title from the program file's name.
  void Initialize(const char* programPath);
  const std::string& Title() const { return title_; }
  // "C:\dir\FWFLASH.EXE" and "/usr/bin/fwflash" both give the file name without
  // directory, cut at its first ".", with every character after the first in lower case.
  static std::string TitleFromProgramPath(const std::string& path);

  // Builds the window from its stored description, assigns the global, then runs its
  // FormCreate with exceptions shown in the error box. The first window is the main one.
  template <class T>
  void CreateForm(T*& global) {
    std::unique_ptr<T> form(new T());
    global = form.get();
    TForm* created = form.get();
    Adopt(std::move(form));
    Guarded([created] { created->FormCreate(); });
  }

  TForm* MainForm() const;
  bool HasDisplay() const;

  // Shows the main window and handles events until Terminate; returns at once when the
  // end was requested before.
  void Run();
  // Requests the end: the caller runs on, the loop ends when control returns to it.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs a handler; any exception is shown in the error box and the program goes on.
  void Guarded(const std::function<void()>& handler);
  void ShowException(const std::exception& error);
  // Runs every FormDestroy, last window first, and frees the windows.
  void DestroyForms();

 private:
  void Adopt(std::unique_ptr<TForm> form);

  std::string title_;
  bool terminated_ = false;
  std::vector<std::unique_ptr<TForm>> forms_;
};

extern TApplication* Application;
