// The modal message dialog and the error box, reached through one seam.
//
//   ShowMessageDialog(text)   modal dialog: title as caption, no icon, one "OK" button;
//                             returns only when the user has closed it
//   ShowErrorBox(message)     the toolkit's error box for exceptions: stop icon, "OK",
//                             the message with "." appended by ErrorBoxText's rule
//   ErrorBoxText(message)     that rule: "." appended when the message is not empty and
//                             its last character sorts after "."
//   ReplaceDialogs(sink)      installs another sink (tests record the dialogs in order
//                             instead of blocking); returns the previous one
//
// Opening the display installs the toolkit's own dialogs; before that, and without a
// display, a dialog goes to the sink the program installed, or nowhere.
#pragma once

#include <functional>
#include <string>

enum class DialogKind { Message, Error };

using DialogSink = std::function<void(DialogKind kind, const std::string& text)>;

void ShowMessageDialog(const std::string& text);
void ShowErrorBox(const std::string& message);
std::string ErrorBoxText(const std::string& message);

DialogSink ReplaceDialogs(DialogSink sink);
