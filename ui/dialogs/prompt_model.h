// The one-line prompt (template 104): the prompt text as label and caption, the
// answer buffer's text as the edit's start, OK copies at most 199 characters back.
// Escape and the close command leave it open, so the caller always gets an answer.
#pragma once
#include "ui/dialogs/dialog_model.h"

class PromptModel : public DialogModel {
 public:
  explicit PromptModel(PromptRequest& request);
  void Open() override;
  void Command(int id) override;

 private:
  PromptRequest& request_;
};
