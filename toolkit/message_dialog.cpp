#include "toolkit/message_dialog.h"

#include <cstdio>
#include <utility>

namespace {

// Until the application installs the toolkit's dialogs (or a test its recorder), a
// dialog's text goes to the standard error stream, so that nothing is lost.
void WriteToStandardError(DialogKind, const std::string& text) {
  std::fprintf(stderr, "fwflash: %s\n", text.c_str());
}

DialogSink& CurrentSink() {
  static DialogSink sink = WriteToStandardError;
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
