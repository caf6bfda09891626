#include "ui/dialogs/prompt_model.h"

#include <cstring>

PromptModel::PromptModel(PromptRequest& request) : DialogModel(kPromptTemplate), request_(request) {
  Find(1)->command = "ok";
}

void PromptModel::Open() {
  const char* prompt = request_.prompt ? request_.prompt : "";
  SetText(kPromptLabel, prompt);
  SetCaption(prompt);
  // The answer is shown as it is: a value holding "%" must not be formatted. The
  // buffer is read only up to its last byte, terminated or not.
  const char* answer = request_.answer ? request_.answer : "";
  SetText(kPromptEdit, std::string(answer, strnlen(answer, kPromptAnswerSize - 1)));
}

void PromptModel::Command(int id) {
  if (id != kCommandOk) return;
  const std::string& typed = Find(kPromptEdit)->text;
  if (request_.answer) {
    size_t n = typed.size() < kPromptAnswerSize - 1 ? typed.size() : kPromptAnswerSize - 1;
    std::memcpy(request_.answer, typed.data(), n);
    request_.answer[n] = '\0';
  }
  Close();
}
