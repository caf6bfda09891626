// The Linux front end of the dialogs. On a terminal each dialog is drawn as a text
// form of 80 columns laid out from its template and driven by keys (Tab and the
// arrows move, Space ticks or presses, Enter presses the focused button or OK,
// typing edits the focused field, Ctrl-D ends the input). Otherwise it reads one
// command per line and echoes each form it shows:
//   prompt          the answer line
//   any dialog      a control's word and its argument: `title TEXT`, `8bit on|off`,
//                   `select N` (N counts from 1, as listed), a button's word (`ok`,
//                   `edit`, `add`, `remove`, `password`), `escape`, `close`
//   Yes/No box      `yes` or `no`
// At the end of the input a prompt is cancelled, a dialog closes as if OK were
// pressed, and a Yes/No box answers No.
#pragma once
#include <cstdio>
#include <string>

#include "ui/dialogs/dialog_model.h"

class TextFrontEnd : public DialogServices {
 public:
  // TERMINAL: drive by keys on a terminal at IN (else by command lines).
  TextFrontEnd(FILE* in, FILE* out, bool terminal);
  // The process's front end over standard input and output.
  static TextFrontEnd& Standard();

  bool Prompt(PromptRequest& request) override;
  MessageAnswer ShowMessage(const MessageBoxModel& box) override;
  void RunDialog(DialogModel& model) override;

 private:
  // Events until the model closes; false when the input ended first.
  bool DriveByLines(DialogModel& model);
  bool DriveByKeys(DialogModel& model);
  bool ReadLine(std::string* line);
  void Show(const std::string& text);

  FILE* in_;
  FILE* out_;
  bool terminal_;
};

// The form of MODEL as text lines of at most 80 columns; FOCUS is the index of the
// focused control (-1: none).
std::string RenderDialog(const DialogModel& model, int focus = -1);
std::string RenderMessageBox(const MessageBoxModel& box);
