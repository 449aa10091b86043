#include "tests/support/dialog_recorder.h"

DialogRecorder::DialogRecorder() {
  previous_ = ReplaceDialogs([this](DialogKind kind, const std::string& text) {
    (kind == DialogKind::Message ? messages_ : errors_).push_back(text);
    all_.push_back(text);
  });
}

DialogRecorder::~DialogRecorder() { ReplaceDialogs(previous_); }

void DialogRecorder::Clear() {
  messages_.clear();
  errors_.clear();
  all_.clear();
}
