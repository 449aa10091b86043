#include "toolkit/message_dialog.h"

#include <utility>

namespace {

// Until a sink is installed (the toolkit's dialogs once a display is open, the program's
// own before that, a test's recorder), a dialog has nowhere to be shown: the library
// prints nothing of its own.
void ShowNowhere(DialogKind, const std::string&) {}

DialogSink& CurrentSink() {
  static DialogSink sink = ShowNowhere;
  return sink;
}

}  // namespace

void ShowMessageDialog(const std::string& text) { CurrentSink()(DialogKind::Message, text); }

void ShowErrorBox(const std::string& message) {
  CurrentSink()(DialogKind::Error, ErrorBoxText(message));
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

DialogSink ReplaceDialogs(DialogSink sink) { return std::exchange(CurrentSink(), std::move(sink)); }
