// Records the dialogs that the code under test shows, in order, instead of showing them.
#pragma once

#include <string>
#include <vector>

#include "toolkit/message_dialog.h"

class DialogRecorder {
 public:
  DialogRecorder();   // installs itself as the dialogs' sink
  ~DialogRecorder();  // puts the previous sink back
  const std::vector<std::string>& Messages() const { return messages_; }
  const std::vector<std::string>& Errors() const { return errors_; }
  // Every dialog, message or error box, in the order shown.
  const std::vector<std::string>& All() const { return all_; }
  void Clear();

 private:
  DialogSink previous_;
  std::vector<std::string> messages_, errors_, all_;
};
