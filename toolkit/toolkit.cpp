// The platform-neutral part of the toolkit layer: every property and rule lives here, so
// that windows behave the same with or without a display; the backend only shows them.
#include "toolkit/toolkit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/whole_file.h"
#include "toolkit/toolkit_backend.h"

TApplication* Application = nullptr;

namespace {

constexpr int kDesignDpi = 96;

int CurrentDpi() { return backend::HasDisplay() ? backend::DotsPerInch() : kDesignDpi; }

void RunGuarded(const std::function<void()>& handler) {
  if (Application != nullptr) Application->Guarded(handler);
  else handler();
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return LowerAscii(c); });
  return text;
}

std::unique_ptr<TControl> MakeControl(TForm& owner, const ControlDescription& description) {
  switch (description.kind) {
    case ControlKind::Label: return std::make_unique<TLabel>(owner, description);
    case ControlKind::StaticText: return std::make_unique<TStaticText>(owner, description);
    case ControlKind::Button: return std::make_unique<TButton>(owner, description);
    case ControlKind::Image: return std::make_unique<TImage>(owner, description);
    case ControlKind::ProgressBar: return std::make_unique<TProgressBar>(owner, description);
  }
  throw Exception("Control " + std::string(description.name) + " has an unknown kind");
}

TForm::TitleBarButtons TitleBarOf(const BorderIcons& icons) {
  return {icons.systemMenu, icons.systemMenu && icons.minimize, icons.systemMenu && icons.maximize};
}

// The whole file in one read, so that what is checked is what is decoded.
std::vector<uint8_t> ReadPictureFile(const std::string& fileName) {
  std::vector<uint8_t> bytes;
  FileReadFailure failure;
  if (!ReadWholeFile(fileName, bytes, failure)) {
    throw Exception(std::string(failure.atOpen ? "Cannot open file \"" : "Cannot read file \"") +
                    fileName + "\". " + std::strerror(failure.number));
  }
  return bytes;
}

}  // namespace

// ---- Helpers every backend shares.

int backend::Scaled(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  return static_cast<int>((product + (product < 0 ? -kDesignDpi : kDesignDpi) / 2) / kDesignDpi);
}

backend::Font backend::FontFor(const FontDescription& font, int dpi) {
  const std::string name = LowerAscii(font.name != nullptr ? font.name : "");
  FontFace face = FontFace::Sans;
  if (name.find("courier") != std::string::npos) face = FontFace::Mono;
  else if (name.find("times") != std::string::npos) face = FontFace::Serif;
  const int designPixels = font.height != 0 ? std::abs(font.height) : 11;
  return {face, Scaled(designPixels, dpi)};
}

std::vector<uint8_t> backend::IconRgba(const IconDescription& icon, bool large) {
  const int size = large ? 32 : 16;
  const char* const* rows = large ? icon.rows32 : icon.rows16;
  std::vector<uint8_t> rgba(static_cast<size_t>(size * size * 4), 0);
  for (int y = 0; y < size && rows != nullptr; ++y) {
    const size_t length = std::strlen(rows[y]);
    for (int x = 0; x < size && static_cast<size_t>(x) < length; ++x) {
      const char c = LowerAscii(rows[y][x]);
      const char* digits = "0123456789abcdef";
      const char* digit = c != '\0' ? std::strchr(digits, c) : nullptr;
      if (digit == nullptr) continue;  // a blank is transparent
      const uint32_t rgb = icon.palette[digit - digits];
      uint8_t* pixel = &rgba[(y * size + x) * 4];
      pixel[0] = rgb >> 16 & 0xFF, pixel[1] = rgb >> 8 & 0xFF, pixel[2] = rgb & 0xFF, pixel[3] = 0xFF;
    }
  }
  return rgba;
}

// ---- Controls.

struct TControl::Peer {
  std::string name;
  ControlDescription description;
  backend::Rect bounds;
  bool visible;
  std::string caption;
  std::unique_ptr<backend::Widget> widget;

  void ShowCaption() {
    if (widget == nullptr) return;
    widget->SetText(caption);
    if (description.autoSize) {
      bounds.width = widget->TextWidth();
      widget->SetBounds(bounds);
    }
  }
};

struct TPicture::Data {
  BitmapPixels pixels;  // kept at one address, so that an image can draw whatever is loaded
};

struct TForm::Peer final : backend::WindowEvents {
  Peer(TForm& owner, const FormDescription& d)
      : form(owner), name(d.name != nullptr ? d.name : ""), dpi(CurrentDpi()), caption(d.caption != nullptr ? d.caption : ""), color(d.color),
        bounds{backend::Scaled(d.left, dpi), backend::Scaled(d.top, dpi),
               backend::Scaled(d.clientWidth, dpi), backend::Scaled(d.clientHeight, dpi)} {
    if (!backend::HasDisplay()) return;
    const TitleBarButtons bar = TitleBarOf(d.borderIcons);
    window = backend::CreateWindow(
        {bounds, bar.close, bar.minimize, bar.maximize, backend::FontFor(d.font, dpi), d.icon, this});
    window->SetCaption(caption);
    ShowColor();
  }

  void CloseBoxPressed() override { RunGuarded([this] { form.CloseRequested(); }); }

  void ShowColor() {
    if (window) window->SetColor(color & 0xFF, color >> 8 & 0xFF, color >> 16 & 0xFF);
  }

  // The place the window has now, which the user may have changed.
  void TakePosition() {
    if (window && visible) window->GetPosition(bounds.left, bounds.top);
  }

  TForm& form;
  std::string name;
  int dpi;
  std::string caption;
  TColor color;
  backend::Rect bounds;
  bool visible = false, enabled = true, shownBefore = false;
  std::unique_ptr<backend::Window> window;
};

TControl::TControl(TForm& owner, const ControlDescription& d)
    : peer_(new Peer{d.name != nullptr ? d.name : "", d, {}, d.visible, d.caption != nullptr ? d.caption : "", nullptr}) {
  const int dpi = owner.peer().dpi;
  peer_->bounds = {backend::Scaled(d.left, dpi), backend::Scaled(d.top, dpi), backend::Scaled(d.width, dpi),
                   backend::Scaled(d.height, dpi)};
  backend::Window* window = owner.peer().window.get();
  if (window == nullptr) return;
  backend::WidgetSettings settings{d.kind, peer_->bounds, backend::FontFor(owner.Description().font, dpi), d.visible,
                           d.kind == ControlKind::Button && d.tabOrder >= 0, d.borderWidth, nullptr};
  if (d.kind == ControlKind::Button) settings.onPress = [this] { static_cast<TButton*>(this)->Click(); };
  peer_->widget = window->AddWidget(settings);
  peer_->ShowCaption();
}

TControl::~TControl() = default;

const std::string& TControl::Name() const { return peer_->name; }
ControlKind TControl::Kind() const { return peer_->description.kind; }
int TControl::Left() const { return peer_->bounds.left; }
int TControl::Top() const { return peer_->bounds.top; }
int TControl::Width() const { return peer_->bounds.width; }
int TControl::Height() const { return peer_->bounds.height; }
bool TControl::Visible() const { return peer_->visible; }
std::string TControl::Caption() const { return peer_->caption; }

void TControl::SetCaption(const std::string& text) {
  peer_->caption = text;
  peer_->ShowCaption();
}

TLabel::TLabel(TForm& owner, const ControlDescription& description) : TControl(owner, description) {}

TStaticText::TStaticText(TForm& owner, const ControlDescription& description) : TControl(owner, description) {}

TButton::TButton(TForm& owner, const ControlDescription& description) : TControl(owner, description) {}

void TButton::Click() {
  if (OnClick) RunGuarded(OnClick);
}

TPicture::TPicture() : data_(new Data) {}
TPicture::~TPicture() = default;

void TPicture::LoadFromFile(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  const size_t dot = fileName.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string extension = hasExtension ? LowerAscii(fileName.substr(dot + 1)) : "";
  if (extension == "ico" || extension == "emf" || extension == "wmf")
    throw Exception("Cannot load \"" + fileName + "\": ." + extension + " pictures are not supported");
  if (extension != "bmp") throw Exception("Unknown picture file extension (." + extension + ")");

  const std::vector<uint8_t> bytes = ReadPictureFile(fileName);
  BitmapPixels pixels;
  if (!bytes.empty()) {
    const std::string error = DecodeBitmap(bytes, pixels);
    if (!error.empty()) throw Exception(error);
  }
  data_->pixels = std::move(pixels);
}

bool TPicture::Empty() const { return data_->pixels.width == 0; }
int TPicture::Width() const { return data_->pixels.width; }
int TPicture::Height() const { return data_->pixels.height; }

TImage::TImage(TForm& owner, const ControlDescription& description) : TControl(owner, description) {
  if (peer().widget) peer().widget->SetPicture(&picture_.data()->pixels);
}

void TImage::Repaint() {
  if (peer().widget) peer().widget->ShowNow();
}

TProgressBar::TProgressBar(TForm& owner, const ControlDescription& description)
    : TControl(owner, description), min_(description.min), max_(description.max), position_(description.min),
      step_(description.step) {
  SetPosition(position_);
}

int32_t TProgressBar::Min() const { return min_; }
int32_t TProgressBar::Max() const { return max_; }
int32_t TProgressBar::Position() const { return position_; }
int32_t TProgressBar::Step() const { return step_; }

void TProgressBar::SetMin(int32_t value) {
  min_ = value;
  SetPosition(position_);
}

void TProgressBar::SetMax(int32_t value) {
  max_ = value;
  SetPosition(position_);
}

void TProgressBar::SetStep(int32_t value) { step_ = value; }

void TProgressBar::SetPosition(int32_t value) {
  position_ = max_ < min_ ? min_ : std::clamp(value, min_, max_);
  if (!peer().widget) return;
  const double range = static_cast<double>(max_) - min_;
  peer().widget->SetFraction(range > 0 ? (static_cast<double>(position_) - min_) / range : 0.0);
  peer().widget->ShowNow();
}

void TProgressBar::StepIt() {
  const int64_t next = static_cast<int64_t>(position_) + step_;
  SetPosition(static_cast<int32_t>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)));
}

// ---- Windows.

TForm::TForm(const FormDescription& description) : description_(description), peer_(new Peer(*this, description)) {
  for (const ControlDescription& control : description.controls) controls_.push_back(MakeControl(*this, control));
}

TForm::~TForm() = default;

const std::string& TForm::Name() const { return peer_->name; }

void TForm::Show() {
  Peer& p = *peer_;
  if (!p.shownBefore && description_.position == FormPosition::MainFormCenter) {
    const TForm* main = Application != nullptr ? Application->MainForm() : nullptr;
    if (main != nullptr && main != this) {
      p.bounds.left = std::max(0, main->Left() + (main->ClientWidth() - p.bounds.width) / 2);
      p.bounds.top = std::max(0, main->Top() + (main->ClientHeight() - p.bounds.height) / 2);
    }
  }
  p.shownBefore = true;
  p.visible = true;
  if (p.window) p.window->Show(p.bounds.left, p.bounds.top);
}

void TForm::Hide() {
  Peer& p = *peer_;
  p.TakePosition();
  p.visible = false;
  if (p.window) p.window->Hide();
}

bool TForm::Visible() const { return peer_->visible; }

void TForm::SetEnabled(bool enabled) {
  peer_->enabled = enabled;
  if (peer_->window) peer_->window->SetEnabled(enabled);
}

bool TForm::Enabled() const { return peer_->enabled; }

void TForm::SetColor(TColor color) {
  peer_->color = color;
  peer_->ShowColor();
}

TColor TForm::Color() const { return peer_->color; }

void TForm::SetCaption(const std::string& text) {
  peer_->caption = text;
  if (peer_->window) peer_->window->SetCaption(text);
}

std::string TForm::Caption() const { return peer_->caption; }

int TForm::Left() const {
  peer_->TakePosition();
  return peer_->bounds.left;
}

int TForm::Top() const {
  peer_->TakePosition();
  return peer_->bounds.top;
}

TForm::TitleBarButtons TForm::TitleBar() const { return TitleBarOf(description_.borderIcons); }

int TForm::ClientWidth() const { return peer_->bounds.width; }
int TForm::ClientHeight() const { return peer_->bounds.height; }

TControl* TForm::FindControl(const std::string& name) const {
  for (const auto& control : controls_)
    if (control->Name() == name) return control.get();
  return nullptr;
}

// The main window ends the application; another window with a close box hides; a window
// without a system menu has no close box, so a request to close it is ignored.
void TForm::CloseRequested() {
  if (Application != nullptr && Application->MainForm() == this) Application->Terminate();
  else if (TitleBar().close) Hide();
}

backend::Window* backend::MainWindow() {
  const TForm* main = Application != nullptr ? Application->MainForm() : nullptr;
  return main != nullptr ? main->peer().window.get() : nullptr;
}

// ---- The application.

TApplication::TApplication() {
  if (Application == nullptr) Application = this;
}

TApplication::~TApplication() {
  DestroyForms();
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize(const char* programPath) {
  title_ = TitleFromProgramPath(programPath != nullptr ? programPath : "");
  if (backend::OpenDisplay()) ReplaceDialogs(backend::ShowDialog);
}

std::string TApplication::TitleFromProgramPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  if (name.size() > 1) name = name.substr(0, 1) + LowerAscii(name.substr(1));
  return name;
}

TForm* TApplication::MainForm() const { return forms_.empty() ? nullptr : forms_.front().get(); }

bool TApplication::HasDisplay() const { return backend::HasDisplay(); }

void TApplication::Run() {
  TForm* main = MainForm();
  if (terminated_ || main == nullptr) return;
  Guarded([main] { main->Show(); });
  // Without a display no event can ever arrive: the windows keep their state for tests.
  if (!backend::HasDisplay()) return;
  while (!terminated_) Guarded(backend::WaitForEvents);
}

void TApplication::Terminate() { terminated_ = true; }

void TApplication::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(Exception(""));
  }
}

// Only the toolkit's own exceptions carry a message worth showing; anything else is
// shown as an exception with an empty message.
void TApplication::ShowException(const std::exception& error) {
  ShowErrorBox(dynamic_cast<const Exception*>(&error) != nullptr ? error.what() : "");
}

void TApplication::DestroyForms() {
  while (!forms_.empty()) {
    std::unique_ptr<TForm> form = std::move(forms_.back());
    forms_.pop_back();
    Guarded([&form] { form->FormDestroy(); });
  }
}

void TApplication::Adopt(std::unique_ptr<TForm> form) { forms_.push_back(std::move(form)); }
