// The dialogs' text front end reading scripted answers from memory and writing what
// it shows into a string, remembering every prompt and message box it ran.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogs/text_front_end.h"
#include "ui/dialogs/dialog_model.h"
#include "ui/tags.h"

namespace zsftest {

// A line-driven front end over INPUT; remembers every prompt it was asked to run
// with the answer it offered, and keeps all it showed.
class ScriptedFrontEnd {
 public:
  explicit ScriptedFrontEnd(const std::string& input) : input_(input) {
    in_ = fmemopen(input_.empty() ? nullptr : &input_[0], input_.size(), "r");
    if (!in_) in_ = fopen("/dev/null", "r");
    out_ = open_memstream(&shown_, &shownSize_);
    front_ = std::make_unique<Recorder>(in_, out_, this);
  }
  ~ScriptedFrontEnd() {
    front_.reset();
    std::fclose(in_);
    std::fclose(out_);
    std::free(shown_);
  }
  DialogServices& services() { return *front_; }
  TextFrontEnd& front() { return *front_; }
  std::string Shown() {
    std::fflush(out_);
    return std::string(shown_, shownSize_);
  }
  // What is left of the input.
  std::string Rest() {
    std::string rest;
    int c;
    while ((c = std::fgetc(in_)) != EOF) rest.push_back(static_cast<char>(c));
    return rest;
  }
  struct Asked {
    std::string prompt, offered;
  };
  std::vector<Asked> prompts;
  std::vector<MessageBoxModel> boxes;

 private:
  class Recorder : public TextFrontEnd {
   public:
    Recorder(FILE* in, FILE* out, ScriptedFrontEnd* owner) : TextFrontEnd(in, out, false), owner_(owner) {}
    bool Prompt(PromptRequest& request) override {
      owner_->prompts.push_back({request.prompt, request.answer});
      return TextFrontEnd::Prompt(request);
    }
    MessageAnswer ShowMessage(const MessageBoxModel& box) override {
      owner_->boxes.push_back(box);
      return TextFrontEnd::ShowMessage(box);
    }

   private:
    ScriptedFrontEnd* owner_;
  };

  std::string input_;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
  char* shown_ = nullptr;
  size_t shownSize_ = 0;
  std::unique_ptr<Recorder> front_;
};

}  // namespace zsftest
